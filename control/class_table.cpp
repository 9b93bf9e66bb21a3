#include "control/class_table.h"

#include "control/QuorComDlg.h"
#include "control/ids.h"
#include "designtime/open_save_page.h"

namespace qcd {

std::span<const ClassRow> ClassTable() {
    static const ClassRow kClasses[] = {
        {CLSID_QuorComDlg, CreateQuorComDlg, L"QuorComDlg Control", kProgId, kProgIdVersioned,
         true},
        // The property page: created by the host's property frame, never by name.
        {CLSID_OpenSavePage, designtime::CreateOpenSavePage, L"QuorComDlg OpenSavePage", nullptr, nullptr,
         false},
    };
    return kClasses;
}

const ClassRow* FindClass(REFCLSID clsid) {
    for (const ClassRow& row : ClassTable())
        if (IsEqualCLSID(row.clsid, clsid)) return &row;
    return nullptr;
}

}  // namespace qcd
