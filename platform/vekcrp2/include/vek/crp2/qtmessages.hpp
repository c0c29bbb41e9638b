// A window's message target: the engine's posts become events of this object,
// delivered on its thread to one handler, in the order they were posted.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <functional>

#include "vek/crp2/audioengine.hpp"

namespace vek::crp2 {

class QtMessageTarget : public QObject, public MessageTarget {
    Q_OBJECT
public:
    using Handler = std::function<void(std::uint32_t message, Header header)>;
    explicit QtMessageTarget(Handler handler, QObject* parent = nullptr);
    void post(std::uint32_t message, Header header) override;

protected:
    void customEvent(QEvent* e) override;

private:
    Handler m_handler;
};

}  // namespace vek::crp2
