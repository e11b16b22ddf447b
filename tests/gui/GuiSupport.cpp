#include "GuiSupport.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <memory>

namespace tessaly::test {

QString SaveScreenshot(QWidget& widget, const QString& name) {
    const QString directory = QStringLiteral(TESSALY_SCREENSHOT_DIR);
    if (!QDir().mkpath(directory)) {
        return {};
    }
    const QString path = directory + u'/' + name + QStringLiteral(".png");
    return widget.grab().save(path, "PNG") ? path : QString();
}

namespace {

// Polls for the modal widget on the event loop; the nested loop of exec() keeps it turning.
struct ModalWatch {
    std::function<void(QWidget*)> handle;
    QPointer<QWidget> before;
    QElapsedTimer clock;
    int timeoutMs = 0;
};

void Poll(std::shared_ptr<ModalWatch> watch) {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal != watch->before && modal->isVisible()) {
        watch->handle(modal);
        return;
    }
    if (watch->clock.elapsed() > watch->timeoutMs) {
        return;
    }
    QTimer::singleShot(10, qApp, [watch] { Poll(watch); });
}

} // namespace

void HandleNextModal(std::function<void(QWidget*)> handle, int timeoutMs) {
    auto watch = std::make_shared<ModalWatch>();
    watch->handle = std::move(handle);
    watch->before = QApplication::activeModalWidget();
    watch->timeoutMs = timeoutMs;
    watch->clock.start();
    QTimer::singleShot(0, qApp, [watch] { Poll(watch); });
}

QString ModalText(QWidget* modal) {
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        return box->text();
    }
    QString text;
    for (const QLabel* label : modal->findChildren<QLabel*>()) {
        text += label->text() + u'\n';
    }
    return text;
}

bool DropOn(QWidget& target, const QMimeData& mime, Qt::DropActions actions) {
    const QPoint at = target.rect().center();
    QDragEnterEvent enter(at, actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &enter);
    if (!enter.isAccepted() || enter.dropAction() != Qt::CopyAction) {
        return false;
    }
    QDragMoveEvent move(at, actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &move);
    if (!move.isAccepted() || move.dropAction() != Qt::CopyAction) {
        return false;
    }
    QDropEvent drop(QPointF(at), actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &drop);
    return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
}

ModalScript::ModalScript(std::vector<Step> steps) : steps_(std::move(steps)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(10);
}

void ModalScript::Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (next_ < steps_.size() && modal != nullptr && modal->isVisible() &&
        modal->windowTitle() == steps_[next_].title) {
        steps_[next_++].act(modal);
    }
}

void ClickHeader(QHeaderView& header, int column) {
    const QPoint at(header.sectionViewportPosition(column) + header.sectionSize(column) / 2,
                    header.height() / 2);
    QTest::mouseClick(header.viewport(), Qt::LeftButton, {}, at);
}

} // namespace tessaly::test
