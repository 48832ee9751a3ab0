#pragma once
// Category records applied by path, whoever wrote them: makings, renames and deletions, those
// that arrive out of their stamps' order ending as where they arrived in order.
#include <string>

#include "formats/change_log.h"
#include "session/sync.h"
#include "session/sync_state.h"

enum class record_outcome {
    applied,  // the database holds the change now (or held it already)
    conflicted,  // the change lost, or found nothing to change; said in the summary
    wait,  // it names an item whose making has not arrived yet
};

// A change that lost is told, and what it held is kept in sync-conflicts.txt beside the
// database, so that nothing typed elsewhere is lost without a trace.
record_outcome record_conflict(sync_summary& s, const std::string& what, const change_record* kept = nullptr);

// A category making, rename or deletion of version `v`.
record_outcome apply_category_record(const change_record& r, field_version v, sync_summary& s);
