// Record opcodes a host sends through writeData: aiop::kBeginPicture and the
// rest, one for each record of host/Records.def.
#pragma once

namespace aiop {

enum : unsigned short {
#define AIEXPORT_RECORD(Name, opcode, Route, Payload, Fields) k##Name = opcode,
#include "host/Records.def"
};

}  // namespace aiop
