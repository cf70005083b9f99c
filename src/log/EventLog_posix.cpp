#include "log/EventLog.h"

namespace moorlink {

// No Windows Event Log here: nothing is written, and that is no failure.
bool WriteSystemEvent(const NotableEvent&) { return true; }

}  // namespace moorlink
