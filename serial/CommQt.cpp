// The component's default constructor: notifications through Qt posted events.
// Apart from Comm.cpp so that a build without Qt (the Windows cross-build of the
// command line and the tests) links the component without it.

#include "serial/Comm.h"
#include "serial/QtNotificationSink.h"

namespace korvel::serial {

TComm::TComm() : TComm(MakeQtNotificationSink) {}

} // namespace korvel::serial
