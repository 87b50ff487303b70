// Edit boxes that select their whole text when they get the focus, so that typing replaces what they
// propose: a one-line edit box, the edit line of an editable drop-down box and of a spin box, on any
// focus change but a mouse click into it. A box that had the focus when its window was left (another
// window, a popup list) keeps its selection when the focus comes back; so does a box whose text the
// program has just selected in part (the place of an error).
#pragma once

class QObject;

namespace wux::controls {

// Installs the behaviour for every edit box of the application (once; owner keeps it alive).
void InstallAutoSelect(QObject& owner);

} // namespace wux::controls
