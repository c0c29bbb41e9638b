// The recorder program for the two-process tests: the real start-up, with
// the window put into the state named by the first argument once it is shown
// ("recording": the transport state Recording, as a recording in progress
// leaves it). Without an argument it is the plain program.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup.hpp"
#include "vm0007form.hpp"

#include <cstring>
#include <vector>

int main(int argc, char** argv) {
    bool recording = false;
    std::vector<char*> args(argv, argv + argc);
    if (argc > 1 && std::strcmp(argv[1], "recording") == 0) {
        recording = true;
        args.erase(args.begin() + 1);
    }
    int n = static_cast<int>(args.size());
    args.push_back(nullptr);
    return vekvmail::runVekVMail(n, args.data(), [recording](vekvmail::TVM0007Form& f) {
        if (recording) f.setTransportState(vekvmail::TransportState::Recording);
    });
}
