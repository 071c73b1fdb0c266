#pragma once
// Pauses the matrix window's device poll while a dialog's long exchange has
// the port (the exchange lets the window repaint, and the poll's timer would
// otherwise run in between).
#include <cstdint>

#include "xandrel/XandrelExport.h"

namespace xandrel::gui {

class XANDREL_EXPORT PollPause {
public:
    PollPause();
    ~PollPause();
    PollPause(const PollPause&) = delete;
    PollPause& operator=(const PollPause&) = delete;

private:
    int32_t saved_ = 1;
    bool paused_ = false;
};

}  // namespace xandrel::gui
