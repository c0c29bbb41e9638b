// TSplashForm: the picture shown for two seconds at start, without a
// caption, on top of the other windows.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFrame>
#include <QIcon>
#include <QImage>

class QLabel;
class QTimer;

namespace vekshell {

// The splash picture, decoded from the JPEG bytes built into the program.
QImage splashImage();
QIcon programIcon();

class TSplashForm : public QFrame {
    Q_OBJECT
public:
    explicit TSplashForm(QWidget* parent = nullptr);
    QLabel* Image;
    QTimer* Timer;

private:
    void TimerTimer();
};

}  // namespace vekshell
