#include "ui/Module1.h"

namespace Module1 {

qint32 gmFlagTotal = 0;

} // namespace Module1
