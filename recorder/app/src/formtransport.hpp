// What the transport shows and asks, on the recorder window's controls: the
// enabling groups, the clock cells, the bar, the meter, the status panels,
// the application title, message boxes, the hourglass, dropped files and
// the busy notice to the companion window.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vek/transport/transport.hpp"

namespace vekvmail {

class TVM0007Form;

class TFormTransportView : public vek::transport::TransportView {
public:
    explicit TFormTransportView(TVM0007Form& form) : m_form(form) {}

    void setEnabled(vek::transport::Group g, bool on) override;
    void repaintPanels() override;
    void setRunningDigits(vek::transport::Pair p, char high, char low) override;
    void setTotalDigits(vek::transport::Pair p, char high, char low) override;
    void setTotalColor(std::uint32_t colorRef) override;
    void setTrackPosition(int position) override;
    int trackPosition() override;
    void focusTrackBar() override;
    void setMeter(int position) override;
    void setStatusText(int panel, const std::string& text) override;
    void setApplicationTitle(const std::string& title) override;
    void setModified() override;
    void message(const std::string& text, vek::transport::Icon icon) override;
    bool confirm(const std::string& text) override;
    void setBusyCursor(bool on) override;
    void setAcceptDrops(bool on) override;
    void sendBusyNotice(bool busy) override;
    int effectIndex() override;
    int effectSliderPosition() override;

private:
    TVM0007Form& m_form;
    int m_cursorDepth = 0;
};

}  // namespace vekvmail
