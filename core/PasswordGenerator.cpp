#include "core/PasswordGenerator.h"

#include <QRandomGenerator>

namespace {

constexpr char alphabet[] = "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz23456789";
constexpr int passwordLength = 12;

} // namespace

QString generatePassword()
{
    QRandomGenerator *random = QRandomGenerator::system();
    QString password;
    password.reserve(passwordLength);
    for (int i = 0; i < passwordLength; ++i)
        password += QChar::fromLatin1(alphabet[random->bounded(int(sizeof alphabet) - 1)]);
    return password;
}
