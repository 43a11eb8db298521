#pragma once

#include <QLatin1StringView>
#include <QString>

#include <array>

/// A skin object the program knows: its name in the skin file and what it does, in words (its
/// tooltip and accessible name).
struct SkinCommand
{
    QLatin1StringView name;
    QLatin1StringView words;
};

/// The command objects a skin form may carry, each found by the element of that id.
inline constexpr std::array<SkinCommand, 12> skinCommands{{
    {QLatin1StringView("file"), QLatin1StringView("File menu")},
    {QLatin1StringView("settings"), QLatin1StringView("Settings")},
    {QLatin1StringView("help"), QLatin1StringView("Help menu")},
    {QLatin1StringView("help1"), QLatin1StringView("Help")},
    {QLatin1StringView("freedb"), QLatin1StringView("Look the disc up")},
    {QLatin1StringView("refresh"), QLatin1StringView("Refresh the disc")},
    {QLatin1StringView("stopconverter"), QLatin1StringView("Stop rip")},
    {QLatin1StringView("play"), QLatin1StringView("Play")},
    {QLatin1StringView("playstop"), QLatin1StringView("Stop play")},
    {QLatin1StringView("converter"), QLatin1StringView("Rip checked tracks")},
    {QLatin1StringView("pause"), QLatin1StringView("Pause")},
    {QLatin1StringView("id3"), QLatin1StringView("Edit tags")},
}};

/// The progress bar object; its element is drawn at its full width.
inline constexpr QLatin1StringView skinProgressBarName("pb");

/// The optional elements a button is drawn with while the pointer is over it or it is held down.
inline QString skinHoverElement(const QString& name)
{
    return name + QLatin1StringView("-hover");
}
inline QString skinPressedElement(const QString& name)
{
    return name + QLatin1StringView("-pressed");
}
