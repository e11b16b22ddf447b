#include "ui/AboutDialog.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>
#include <QtGlobal>

namespace tessaly {

using namespace Qt::StringLiterals;

namespace {

constexpr int kIconSize = 64;

QLabel* LinkLabel(const QString& url, const QString& shown, QWidget* parent) {
    auto* label = new QLabel(u"<a href=\"%1\">%2</a>"_s.arg(url, shown.toHtmlEscaped()), parent);
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::TextBrowserInteraction);
    label->setOpenExternalLinks(false);
    QObject::connect(label, &QLabel::linkActivated, label,
                     [](const QString& link) { QDesktopServices::openUrl(QUrl(link)); });
    return label;
}

QString Acknowledgements() {
    return u"Tessaly Client is built with:\n"
           "\u2022 Qt %1 (Core, Network, Widgets), by The Qt Company Ltd. and contributors, "
           "under the GNU Lesser General Public License version 3.\n"
           "\u2022 GoogleTest, by Google LLC, under the BSD 3-Clause License (for the tests only)."_s.arg(
               QString::fromLatin1(qVersion()));
}

} // namespace

QString AboutDialog::VersionText() {
    const QString version = QCoreApplication::applicationVersion();
    return version.isEmpty() ? u"0.1.0"_s : version;
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(u"About Tessaly Client"_s);
    setModal(true);

    QIcon icon = QApplication::windowIcon();
    if (icon.isNull()) {
        icon = style()->standardIcon(QStyle::SP_ComputerIcon, nullptr, this);
    }
    auto* iconLabel = new QLabel(this);
    iconLabel->setPixmap(icon.pixmap(kIconSize, kIconSize));
    iconLabel->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* name = new QLabel(u"Tessaly Client"_s, this);
    QFont nameFont = name->font();
    nameFont.setBold(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.5);
    name->setFont(nameFont);
    auto* version = new QLabel(u"Version %1"_s.arg(VersionText()), this);
    auto* web = LinkLabel(u"https://tessaly.example.org/"_s, u"https://tessaly.example.org/"_s, this);
    auto* support =
        LinkLabel(u"mailto:support@tessaly.example.org"_s, u"support@tessaly.example.org"_s, this);

    auto* facts = new QGridLayout;
    facts->setHorizontalSpacing(16);
    facts->addWidget(iconLabel, 0, 0, 4, 1);
    facts->addWidget(name, 0, 1);
    facts->addWidget(version, 1, 1);
    facts->addWidget(web, 2, 1);
    facts->addWidget(support, 3, 1);
    facts->setColumnStretch(1, 1);

    auto* thanks = new QPlainTextEdit(Acknowledgements(), this);
    thanks->setReadOnly(true);
    const int frame = 2 * (thanks->frameWidth() + int(thanks->document()->documentMargin()));
    thanks->setFixedHeight(thanks->fontMetrics().lineSpacing() * 7 + frame);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(facts);
    layout->addSpacing(8);
    layout->addWidget(thanks);
    layout->addWidget(buttons);
    setMinimumWidth(440);
}

} // namespace tessaly
