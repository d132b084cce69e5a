#include "app/dlgvolumelevel.h"

#include <boost/any.hpp>
#include <wx/slider.h>
#include <wx/xrc/xmlres.h>

#include "app/appsettings.h"
#include "kalvo_lorim/command.h"

namespace {
constexpr int TimerId = 1;
}

wxBEGIN_EVENT_TABLE(DlgVolumeLevelSlider, wxDialog)
  EVT_TIMER(TimerId, DlgVolumeLevelSlider::OnTimer)
  EVT_BUTTON(wxID_OK, DlgVolumeLevelSlider::OnOK)
  EVT_BUTTON(wxID_CANCEL, DlgVolumeLevelSlider::OnCancel)
  EVT_SLIDER(XRCID("ID_SLIDER_VOLUME_LEVEL"), DlgVolumeLevelSlider::OnSlider)
wxEND_EVENT_TABLE()

DlgVolumeLevelSlider::DlgVolumeLevelSlider(wxWindow* parent, CommandQueue* queue,
                                           unsigned char level)
    : level_(level), openingLevel_(level), parent_(parent), queue_(queue), timer_(this, TimerId) {
  wxXmlResource::Get()->LoadDialog(this, parent, "ID_DLG_VOLUME_LEVEL");
  slider_ = XRCCTRL(*this, "ID_SLIDER_VOLUME_LEVEL", wxSlider);
  // A level above the slider's range shows at its end but is kept as given.
  if (slider_) slider_->SetValue(level);
  timer_.Start(RepeatMs, wxTIMER_CONTINUOUS);
}

DlgVolumeLevelSlider::~DlgVolumeLevelSlider() { timer_.Stop(); }

void DlgVolumeLevelSlider::PostLevel(unsigned char level) {
  if (queue_) queue_->Post(CommandKind::WriteVolumeLevel, AppSettings.address, boost::any(level));
}

void DlgVolumeLevelSlider::OnSlider(wxCommandEvent&) {
  if (slider_) level_ = static_cast<unsigned char>(slider_->GetValue());
  PostLevel(level_);
}

void DlgVolumeLevelSlider::OnTimer(wxTimerEvent&) {
  // A tick that was already on its way when the dialog ended posts nothing.
  if (!timer_.IsRunning()) return;
  PostLevel(level_);
}

void DlgVolumeLevelSlider::OnOK(wxCommandEvent&) {
  if (slider_) level_ = static_cast<unsigned char>(slider_->GetValue());
  timer_.Stop();
  SetReturnCode(wxID_OK);
  EndDialog(wxID_OK);
}

void DlgVolumeLevelSlider::OnCancel(wxCommandEvent&) {
  // Stop first, so that the opening level is the last the device gets.
  timer_.Stop();
  PostLevel(openingLevel_);
  SetReturnCode(wxID_CANCEL);
  EndDialog(wxID_CANCEL);
}
