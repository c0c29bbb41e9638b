// vekconv: inspect, pack and unpack SC4 voice files from the command line.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <iostream>
#include <string>

#include "cli.hpp"
#include "vek/platform/safefile.hpp"
#include "vek/version.hpp"

namespace {

void overview(std::ostream& os) {
    os << "Usage: vekconv COMMAND [OPTIONS] FILE...\n\n"
          "Tool of the voice lumo suite for SC4 voice files.\n\nCommands:\n";
    auto cmds = vekconv::registry();
    std::sort(cmds.begin(), cmds.end(), [](const auto& a, const auto& b) { return std::string(a.name) < b.name; });
    for (const auto& c : cmds) os << "  " << c.synopsis << '\n';
    os << "\nRun 'vekconv COMMAND --help' for the options of a command.\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        overview(std::cerr);
        return 2;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        overview(std::cout);
        return 0;
    }
    if (name == "--version") {
        std::cout << "vekconv (voice lumo) " VEK_VERSION_STRING "\n";
        return 0;
    }
    for (const auto& c : vekconv::registry()) {
        if (name == c.name) {
            // Frame files of an earlier run that was killed or crashed.
            vek::safefile::sweepUserTempFolder();
            vekconv::Args args(argv + 2, argv + argc);
            if (vekconv::wantsHelp(args)) {
                std::cout << c.help;
                return 0;
            }
            try {
                return c.run(args);
            } catch (const std::exception& e) {
                vekconv::error(e.what());
                return 1;
            }
        }
    }
    vekconv::error("unknown command '" + name + "' (see 'vekconv --help')");
    return 2;
}
