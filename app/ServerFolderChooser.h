#pragma once

#include <QString>

class QWidget;

// The server folder the operator picked last time, or an empty string.
QString savedServerFolder();

// Asks for the server folder until the operator picks one that holds kData/kPlayer/kAdd.txt,
// and keeps it for the next start. why opens the text in the dialog's body, before what a server
// folder holds: the operator must see at once what the program is asking for and why. An empty
// result means the operator cancelled.
QString chooseServerFolder(const QString &why, const QString &start, QWidget *parent = nullptr);
