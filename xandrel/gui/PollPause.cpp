#include "xandrel/gui/PollPause.h"

#include "xandrel/gui/CMatrix0001Frame.h"

namespace xandrel::gui {

PollPause::PollPause()
{
    if (CMatrix0001Frame* frame = MatrixFrame()) {
        saved_ = frame->m_Polling;
        frame->m_Polling = 0;
        paused_ = true;
    }
}

PollPause::~PollPause()
{
    if (CMatrix0001Frame* frame = MatrixFrame(); frame && paused_)
        frame->m_Polling = saved_;
}

}  // namespace xandrel::gui
