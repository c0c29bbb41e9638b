// Another program's window for the drag-and-drop system test: the window
// "drag peer" drags the file URL of its argument out on a press and a move.
//   vekvmail_droppeer FILE
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>

namespace {

class DragPeer : public QWidget {
public:
    explicit DragPeer(QString path) : m_path(std::move(path)) {
        setWindowTitle("drag peer");
        resize(200, 200);
    }

protected:
    void mouseMoveEvent(QMouseEvent* e) override {
        if (!(e->buttons() & Qt::LeftButton)) return;
        auto* drag = new QDrag(this);
        auto* data = new QMimeData;
        data->setUrls({QUrl::fromLocalFile(m_path)});
        drag->setMimeData(data);
        drag->exec(Qt::CopyAction);
    }

private:
    QString m_path;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) return 2;
    DragPeer w(QString::fromLocal8Bit(argv[1]));
    w.show();
    return app.exec();
}
