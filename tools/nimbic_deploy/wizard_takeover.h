// The package's install taking over a wizard install that came first, in the wizard's own product
// folder (Program Files\Vantrel\Nimbic Plug-in) while the package lives in another: what the
// wizard's record lists joins the package's record, and the wizard's record and program copy go,
// so that one product stands for both and its uninstall removes everything. The wizard's Apps
// entry is the package's to remove (its RemoveRegistry table, which Windows Installer undoes in a
// rollback); while it stands, the program copy it runs stays.
#pragma once

#include "engine/install_record.h"
#include "tools/nimbic_deploy/report.h"

#include <string>

namespace nimbic {
class Journal;
}

namespace nimbic::deploy {

class WizardTakeover {
public:
    // Adds to `record` what the wizard's record lists that `record` does not. A wizard record
    // that cannot be read whole (or trusted) is left as it is, with a warning: nothing it lists
    // may be forgotten. Nothing to take over when the package's record is the wizard's.
    void Fold(const std::u16string& record_path, InstallRecord& record, Report& report);
    // Once the package's record, with the folded entries, is saved: the wizard's record goes,
    // and its program copy when it is a setup program of this product (one carrying both
    // payloads) and no wizard entry runs it, then the product folder and Vantrel once empty.
    // Under a journal each file is kept as a backup until commit and the folders go at commit,
    // so that a rollback puts back exactly what was there. False when a step failed.
    bool Finish(Journal* journal, Report& report) const;
    // How many entries Fold added.
    size_t folded() const { return m_folded; }

private:
    std::u16string m_folder; // the wizard's product folder; empty: nothing to take over
    size_t m_folded = 0;
};

} // namespace nimbic::deploy
