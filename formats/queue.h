#pragma once
// queue.txt: items waiting to be introduced.

// Refills the pending list from queue.txt; the number of items added.
int load_queue();
// Rewrites queue.txt from the pending list.
int save_queue();
