// The recorder program for the two-process tests: the real start-up, with
// the window put into the state named by the first argument once it is shown
// ("recording" or "playing": that transport state, as a recording or a
// playback in progress leaves it). Without such an argument it is the plain
// program.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup.hpp"
#include "vm0007form.hpp"

#include <cstring>
#include <vector>

int main(int argc, char** argv) {
    using vekvmail::TransportState;
    TransportState state = TransportState::Stopped;
    std::vector<char*> args(argv, argv + argc);
    if (argc > 1 && (std::strcmp(argv[1], "recording") == 0 || std::strcmp(argv[1], "playing") == 0)) {
        state = std::strcmp(argv[1], "recording") == 0 ? TransportState::Recording : TransportState::Playing;
        args.erase(args.begin() + 1);
    }
    int n = static_cast<int>(args.size());
    args.push_back(nullptr);
    return vekvmail::runVekVMail(n, args.data(), [state](vekvmail::TVM0007Form& f) {
        if (state != TransportState::Stopped) f.setTransportState(state);
    });
}
