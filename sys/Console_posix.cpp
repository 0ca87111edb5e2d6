#include "sys/Console.h"

namespace lmp::sys {

void PrepareStandardStreams() noexcept {}

} // namespace lmp::sys
