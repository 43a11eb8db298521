#include "components/grabber/CdText.h"

#include <gtest/gtest.h>

namespace {

QByteArray utf8(const QString& text)
{
    return text.toUtf8();
}

TEST(CdText, TakesLibcdiosUtf8AsItIs)
{
    EXPECT_EQ(fromCdText(utf8(QStringLiteral("Café Müller"))), QStringLiteral("Café Müller"));
    EXPECT_EQ(fromCdText("Plain ASCII"), QStringLiteral("Plain ASCII"));
    EXPECT_EQ(fromCdText(utf8(QStringLiteral("東京 Café"))), QStringLiteral("東京 Café"));
    EXPECT_EQ(fromCdText(""), QString());
}

TEST(CdText, UndoesTheSecondConversionOfAUtf8CueSheet)
{
    // A UTF-8 CUE sheet read as ISO-8859-1 and converted to UTF-8 once more.
    const QByteArray twice = QString::fromLatin1(utf8(QStringLiteral("Café Müller"))).toUtf8();
    EXPECT_EQ(fromCdText(twice), QStringLiteral("Café Müller"));
}

TEST(CdText, KeepsLatin1TextThatOnlyLooksLikeUtf8WhenItIsNot)
{
    // "Ã" followed by a blank is not a UTF-8 sequence: the text stays as it was.
    EXPECT_EQ(fromCdText(utf8(QStringLiteral("Ã la carte"))), QStringLiteral("Ã la carte"));
}

} // namespace
