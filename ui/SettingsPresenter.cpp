#include "ui/SettingsPresenter.h"

#include "ui/FormPresenter.h"

namespace zorflash {

CSettingsPresenter::CSettingsPresenter(ISettingsView& view, CFormPresenter& form)
    : m_view(view)
    , m_form(form)
{
}

void CSettingsPresenter::OnInitDialog()
{
    m_view.ShowControls(LoadCommSettings(m_form.GetRecord()));
}

void CSettingsPresenter::OnTcpIpClicked()
{
    m_view.EnableAddress(true);
}

void CSettingsPresenter::OnUsbClicked()
{
    m_view.EnableAddress(false);
}

void CSettingsPresenter::OnOk()
{
    // The record is read by a running update without a lock; the form keeps this dialog
    // closed while one runs, and this refusal makes sure of it.
    if (!m_form.IsUpdating())
        StoreCommSettings(m_view.ReadControls(), m_form.GetRecord());
}

}  // namespace zorflash
