#pragma once
// The program from start to end; its result is the process exit code.
int run_program(int argc, char** argv);
