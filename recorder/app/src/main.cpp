// VekVMail, the voice recorder, editor and mailer.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup.hpp"

int main(int argc, char** argv) { return vekvmail::runVekVMail(argc, argv); }
