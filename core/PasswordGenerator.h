#pragma once

#include <QString>

// A password for an operator to hand on: 12 letters and digits drawn from the system's
// generator, without the look-alikes 0 O 1 l I that are misread when it is read out or copied
// by hand. It passes every rule of a new password.
QString generatePassword();
