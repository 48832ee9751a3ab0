#pragma once
// queue.txt edited while the program runs. The file is read at the start and rewritten at each
// save from the queue held in memory; items the user adds to it meanwhile, as the empty
// collection's page tells them to, would be overwritten. So the file as this program last read
// or wrote it is remembered, and before the queue is shown or saved the items added to it since
// are taken in.
#include <cstdint>

// Where the edits are taken in from, which decides what may be done with them.
enum class queue_edit_moment {
    // From the window, no item on screen: items deleted from the file leave the queue, and
    // those added are recorded for a sync folder's other computers at once, as an import's.
    window,
    // Inside a save, which may come in the middle of a review or of applying others' changes:
    // only additions, recorded for the other computers when syncing starts next.
    save,
};

struct queue_file_edits {
    uint32_t added = 0;  // items the file holds that it did not hold when last read or written
    uint32_t removed = 0;  // queued items the file held then and holds no more (from the window)
};

// Remembers queue.txt of the data directory as it is now: what identifies the file on disk,
// and a hash of each item the queue holds (as just read from it, or just written to it).
void remember_queue_file();
// When queue.txt is no longer the file remembered: the items it holds beyond those it held then
// join the end of the queue, in the file's order (categories it names are made); the others,
// the queue already has or has taken out this session. From the window, the queued items it
// held then and holds no more (deleted, or changed, in an editor) leave the queue, and the undo
// steps go, as when the browser deletes. The file as it is now is remembered.
queue_file_edits take_queue_file_edits(queue_edit_moment moment = queue_edit_moment::window);
// Whether queue.txt is no longer the file remembered (a look at its directory entry only).
bool queue_file_changed();
