// The keyboard after a dialog: whatever closes a modal window (a button, Escape, an access key, the
// close box), its owner window is made active again and the control that had the focus gets it back,
// unless the program has given the focus to another control of that window meanwhile.
// The window system alone may leave no window active once the dialog is gone, and every key would then
// go nowhere until a click.
#pragma once

class QObject;

namespace wux::controls {

// Installs the behaviour for every modal window of the application (once; owner keeps it alive).
void InstallFocusReturn(QObject& owner);

} // namespace wux::controls
