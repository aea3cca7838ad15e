#pragma once

// The program's start-up sequence and event loop; returns 0 when the loop has ended.
int ProgramEntry();

// Creates the program's one database object, closed.
void CreateDatabaseObject();

// Called once at a normal end: destroys the database object.
void ExitHook();
