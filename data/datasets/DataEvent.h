#pragma once

/// Dataset states as views see them.
enum class DataSetState { Inactive, Browse, Edit, Insert };

/// What a dataset tells the data sources bound to it.
enum class DataEvent {
    ActiveChanged,   ///< opened or closed
    DataSetChanged,  ///< rows or their values changed; the current row may differ
    Scrolled,        ///< the current row (or a beginning/end mark) moved
    RecordChanged,   ///< a field value of the current row changed
    StateChanged,    ///< browse, edit or insert entered
    UpdateRecord,    ///< views: write the text you hold into your field
    CheckBrowseMode, ///< details: finish your pending edit
    Posted,          ///< a row was written and the dataset browses again
};
