// The conversion commands open TWavDlg and TCvfDlg. The jobs reach the main
// window through the three services of MainWindowServices; the job state
// lives as long as the program.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion.hpp"
#include "mainform.hpp"

#include "vek/dialogs/conversion_dialog.hpp"

#include <QFile>

#include <memory>

namespace vekshell {
namespace {

class MainServices final : public vek::jobs::MainWindowServices {
public:
    explicit MainServices(TMainForm& f) : form_(f) {}
    std::string listFolderPath() const override { return QFile::encodeName(form_.listFolderPath()).toStdString(); }
    void showWrittenFile(const std::string& path) override {
        form_.showWrittenFile(QFile::decodeName(QByteArray::fromStdString(path)));
    }
    void forceFGWindow() override { form_.ForceFGWindow(); }

private:
    TMainForm& form_;
};

struct Conversion {
    vek::jobs::ConversionState state;
    std::unique_ptr<MainServices> services;
    vek::dialogs::TWavDlg* wavDlg = nullptr;
    vek::dialogs::TCvfDlg* cvfDlg = nullptr;
};

Conversion& conversion() {
    static Conversion c;  // one per process, as long as the program runs
    return c;
}

}  // namespace

bool haveConversionDialogs() { return true; }

void installConversionDialogs(TMainForm& form) {
    Conversion& c = conversion();
    c.state.ProgramDir = QFile::encodeName(form.ProgramDir).toStdString();
    c.services = std::make_unique<MainServices>(form);
    c.wavDlg = new vek::dialogs::TWavDlg(c.state, *c.services, &form);
    c.cvfDlg = new vek::dialogs::TCvfDlg(c.state, *c.services, &form);
    form.setConversionDialog([](TMainForm& f, bool toWav) {
        Conversion& cv = conversion();
        cv.state.SelectedNames.clear();
        for (const auto& n : f.SelectedNames) cv.state.SelectedNames.push_back(QFile::encodeName(n).toStdString());
        cv.state.ConvMode = f.ConvMode;
        cv.state.ConvertedCount = 0;
        vek::dialogs::ConversionDialog* dlg = toWav ? static_cast<vek::dialogs::ConversionDialog*>(cv.wavDlg)
                                                    : static_cast<vek::dialogs::ConversionDialog*>(cv.cvfDlg);
        dlg->clearProgress();
        dlg->exec();
        f.ConvertedCount = cv.state.ConvertedCount;
    });
}

}  // namespace vekshell
