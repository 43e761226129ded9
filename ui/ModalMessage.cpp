#include "ui/ModalMessage.h"

#include <QMessageBox>

namespace {

ModalMessage::Answerer &answerer()
{
    static ModalMessage::Answerer installed;
    return installed;
}

} // namespace

void ModalMessage::show(QWidget *parent, const QString &text, const std::optional<QString> &title,
                        MessageIcon icon)
{
    QMessageBox box(parent);
    // Not through applicationDisplayName: on Linux Qt appends that to every window's title.
    box.setWindowTitle(title.value_or(applicationTitle));
    // Entries and file paths are shown as typed, never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setIcon(icon == MessageIcon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);

    if (answerer())
        answerer()(box);
    else
        box.exec();
}

void ModalMessage::setAnswerer(Answerer newAnswerer)
{
    answerer() = std::move(newAnswerer);
}
