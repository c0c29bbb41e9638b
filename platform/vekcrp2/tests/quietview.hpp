// A recorder window for the engine's system tests: it shows nothing, keeps
// the messages it is given and the highest meter position, and answers the
// effect of the test.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "vek/transport/transport.hpp"

namespace vek::crp2 {

class QuietView : public transport::TransportView {
public:
    void setEnabled(transport::Group, bool) override {}
    void repaintPanels() override {}
    void setRunningDigits(transport::Pair, char, char) override {}
    void setTotalDigits(transport::Pair, char, char) override {}
    void setTotalColor(std::uint32_t) override {}
    void setTrackPosition(int p) override { pos = p; }
    int trackPosition() override { return pos; }
    void focusTrackBar() override {}
    void setMeter(int p) override { maxMeter = std::max(maxMeter, p); }
    void setStatusText(int, const std::string&) override {}
    void setApplicationTitle(const std::string&) override {}
    void setModified() override {}
    void message(const std::string& text, transport::Icon) override { messages.push_back(text); }
    bool confirm(const std::string&) override { return true; }
    void setBusyCursor(bool) override {}
    void setAcceptDrops(bool) override {}
    void sendBusyNotice(bool) override {}
    int effectIndex() override { return effect; }
    int effectSliderPosition() override { return slider; }
    std::vector<std::string> messages;
    int maxMeter = 0;
    int pos = 0;
    int effect = 0, slider = 80;
};

}  // namespace vek::crp2
