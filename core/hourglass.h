// The hourglass cursor for the length of a scope. It is shown only on the GUI thread of a GUI
// application, so code that runs in tests without windows or on a worker can use it too.
#pragma once

namespace wux::core {

class HourglassCursor
{
public:
    HourglassCursor();
    ~HourglassCursor();
    HourglassCursor(const HourglassCursor&) = delete;
    HourglassCursor& operator=(const HourglassCursor&) = delete;

private:
    bool active_;
};

} // namespace wux::core
