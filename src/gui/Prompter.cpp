#include "gui/Prompter.h"

#include <QApplication>
#include <QMessageBox>

void MessageBoxPrompter::information(QWidget* parent, const QString& text)
{
    QMessageBox::information(parent, QApplication::applicationName(), text);
}

bool MessageBoxPrompter::question(QWidget* parent, const QString& text, Icon icon)
{
    QMessageBox box(icon == Icon::Question ? QMessageBox::Question : QMessageBox::Information,
                    QApplication::applicationName(), text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    return box.exec() == QMessageBox::Yes;
}
