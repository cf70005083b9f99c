/* MinGW's own IIDs for the Windows Runtime interfaces that speech/WinRtAbi_win.h declares
   too, read from MinGW's C headers (which compile as C, not as C++). WindowsSpeech_winTest
   compares ours against these. */
#define INITGUID
#include <windows.h>
#include <asyncinfo.h>
#include <string.h>

#include <windows.foundation.h>
#include <windows.media.speechsynthesis.h>

/* NULL when MinGW declares no interface of that name. */
const GUID* MoorlinkMingwIid(const char* name) {
  static const struct {
    const char* name;
    const GUID* iid;
  } iids[] = {
      {"IAsyncInfo", &IID_IAsyncInfo},
      {"IClosable", &IID___x_ABI_CWindows_CFoundation_CIClosable},
      {"ISpeechSynthesizer", &IID___x_ABI_CWindows_CMedia_CSpeechSynthesis_CISpeechSynthesizer},
      {"ISpeechSynthesisStream", &IID___x_ABI_CWindows_CMedia_CSpeechSynthesis_CISpeechSynthesisStream},
      {"IVoiceInformation", &IID___x_ABI_CWindows_CMedia_CSpeechSynthesis_CIVoiceInformation},
      {"IInstalledVoicesStatic", &IID___x_ABI_CWindows_CMedia_CSpeechSynthesis_CIInstalledVoicesStatic},
      {"IVectorView<VoiceInformation>", &IID___FIVectorView_1_Windows__CMedia__CSpeechSynthesis__CVoiceInformation},
      {"IAsyncOperation<SpeechSynthesisStream>",
       &IID___FIAsyncOperation_1_Windows__CMedia__CSpeechSynthesis__CSpeechSynthesisStream},
      {"AsyncOperationCompletedHandler<SpeechSynthesisStream>",
       &IID___FIAsyncOperationCompletedHandler_1_Windows__CMedia__CSpeechSynthesis__CSpeechSynthesisStream},
  };
  for (size_t i = 0; i < sizeof iids / sizeof iids[0]; ++i) {
    if (strcmp(iids[i].name, name) == 0) return iids[i].iid;
  }
  return NULL;
}
