#include "patch/write_back_faults.h"

bool writeBackFault(WriteBackStep, FileNumber) { return false; }
