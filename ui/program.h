#pragma once
// The program from start to end; its result is the process exit code.
int run_program(int argc, char** argv);

class main_window;
class signal_bridge;
// Ties the close requests from outside (SIGTERM, SIGINT, SIGHUP, the session ending) to the
// window: the first closes it; one while a failed save is being asked about ends the close
// once the database is in a rescue copy.
void connect_close_requests(signal_bridge& bridge, main_window& window);
