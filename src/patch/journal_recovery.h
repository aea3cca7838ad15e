#pragma once

// Rolls back a write-back that was interrupted (a journal left beside the program): restores the
// slot's original bytes, then deletes the journal. A journal that does not belong to the active
// build or is damaged is reported and left alone.
void RecoverInterruptedWriteBack();
