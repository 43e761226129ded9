#pragma once

#include <QString>

// The server folder the operator picked last time, or an empty string.
QString savedServerFolder();

// Asks for the server folder until the operator picks one that holds kData/kPlayer/kAdd.txt,
// and keeps it for the next start. An empty result means the operator cancelled.
QString chooseServerFolder();
