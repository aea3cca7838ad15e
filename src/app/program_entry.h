#pragma once

// The program's start-up sequence and event loop; returns 0 when the loop has ended.
int ProgramEntry();
