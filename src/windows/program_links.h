#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "devices/user/user_session.h"

class QWidget;

namespace vellumar::windows {

// Desktop disk tools, in the order they are tried.
inline const QStringList kDiskTools = {QStringLiteral("gnome-disks"), QStringLiteral("partitionmanager"),
                                       QStringLiteral("gparted")};

// How a note reaches the user: text and caption. Tests replace it.
using NoteBox = std::function<void(const QString& text, const QString& caption)>;

// An information box whose text can be selected and copied, shown as plain text.
void ShowPlainNote(QWidget* owner, const QString& text, const QString& caption);

// Opens `address` in the user's browser, started as the user through `launcher`. When that
// fails the note gives the address, so it can be copied into a browser by hand.
void OpenWebAddress(vellumar::ProgramLauncher* launcher, const QString& address, const NoteBox& note);

// Starts the first installed disk tool; when none is installed or it fails, the note says so.
void OpenDiskTool(vellumar::ProgramLauncher* launcher, const NoteBox& note);

}  // namespace vellumar::windows
