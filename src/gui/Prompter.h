#pragma once

#include <QString>

class QWidget;

/// The program's message boxes, behind an interface so tests can answer them.
class IPrompter
{
public:
    enum class Icon { Information, Question };

    virtual ~IPrompter() = default;
    /// An information box with OK.
    virtual void information(QWidget* parent, const QString& text) = 0;
    /// A box with Yes and No; true for Yes.
    virtual bool question(QWidget* parent, const QString& text, Icon icon) = 0;
};

/// Modal message boxes.
class MessageBoxPrompter final : public IPrompter
{
public:
    void information(QWidget* parent, const QString& text) override;
    bool question(QWidget* parent, const QString& text, Icon icon) override;
};
