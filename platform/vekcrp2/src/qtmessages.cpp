// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/crp2/qtmessages.hpp"

#include <QCoreApplication>
#include <QEvent>

namespace vek::crp2 {

namespace {
const QEvent::Type kEngineEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class EngineEvent : public QEvent {
public:
    EngineEvent(std::uint32_t m, Header h) : QEvent(kEngineEvent), message(m), header(h) {}
    std::uint32_t message;
    Header header;
};
}  // namespace

QtMessageTarget::QtMessageTarget(Handler handler, QObject* parent) : QObject(parent), m_handler(std::move(handler)) {}

void QtMessageTarget::post(std::uint32_t message, Header header) {
    QCoreApplication::postEvent(this, new EngineEvent(message, header));
}

void QtMessageTarget::customEvent(QEvent* e) {
    if (e->type() != kEngineEvent)
        return;
    auto* ev = static_cast<EngineEvent*>(e);
    if (m_handler)
        m_handler(ev->message, ev->header);
}

}  // namespace vek::crp2
