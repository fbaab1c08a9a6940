"""The argument and result types of every exported function, one line each.

A signature reads "result(argument, ...)". Results: "i32", "void", or "i32?" for a function whose result 0
means that it has no value (its outputs are then None). Arguments:
  i32, f64          a 32-bit integer, a double
  str               a text passed in (a Python str, or None for a null pointer)
  fmt ...           a printf format and its arguments: the package passes "%s" and one text
  out i32, out f64  one value the function writes, returned
  out text[N]       a text buffer of N bytes the function writes, returned as a str
  out i32[N], out f64[N]  an array of N values, returned as a list (a numpy array when numpy is present)
  size N            an int32 the package passes itself: the size of the buffer before it
  in i32[], in f64[]      an array passed in (any sequence)
A test checks this table against include/tevra.h, so a new export is one new line here.
"""

IDENTITY_TEXT_SIZE = 128
ERROR_TEXT_SIZE = 500
STAT_BLOCK_COUNT = 83

SIGNATURES = {
    "Tevra_GetCOMLastError": "i32()",
    "Tevra_GetLastErrorText": f"i32(out text[{ERROR_TEXT_SIZE}], size {ERROR_TEXT_SIZE})",
    "Tevra_SetProperty": "i32(str, f64)",
    "Tevra_GetProperty": "i32?(str, out f64)",
    "Tevra_Init": "i32(str, i32, i32, i32, i32)",
    "Tevra_Close": "i32()",
    "Tevra_Preset": "i32()",
    "Tevra_SelfTest": "i32()",
    "Tevra_Suspend": "i32()",
    "Tevra_ActivateInstrument": "i32()",
    "Tevra_SerialNumber": f"i32(out text[{IDENTITY_TEXT_SIZE}])",
    "Tevra_DriverVersion": f"i32(out text[{IDENTITY_TEXT_SIZE}])",
    "Tevra_FirmwareRevision": f"i32(out text[{IDENTITY_TEXT_SIZE}])",
    "Tevra_SetForegroundWindow": "i32(i32)",
    "Tevra_InitViSession": "i32(str)",
    "Tevra_CloseViSession": "i32()",
    "Tevra_ViPreset": "i32()",
    "Tevra_SetPrimaryRFPort": "i32(i32)",
    "Tevra_GetPrimaryRFPort": "i32?(out i32)",
    "Tevra_SetReferencePorts": "i32(i32)",
    "Tevra_GetReferencePorts": "i32()",
    "Tevra_TTL_Output": "i32(i32)",
    "Tevra_TTL_SwitchChannel": "i32(i32)",
    "Tevra_Tool_GetDownloadPath": "i32(str, str, out text[260])",
    "Tevra_ARBEx_CreateSequenceFile": "i32()",
    "Tevra_ARBEx_SequenceFile_AddSegment": "i32(str, i32)",
    "Tevra_ARBEx_SequenceFile_Save": "i32(str)",
    "Tevra_ARBEx_MakeSequenceFile": "i32(str, in i32[], str)",
    "Tevra_ARBEx_GetSegmentList": "i32(str, out text[4096], size 4096, out i32[2048])",
    "Tevra_Calc_SegmentBurstRMS": "i32(str, out f64)",
    "Tevra_Calc_ReduceSegmentBurstRMS": "i32(str, f64, str, out f64)",
    "Tevra_Tool_NormalizeBurstRMS": "i32(str, i32)",
    "Tevra_FillSegmentIdle": "i32(str, f64)",
    "Tevra_ARB_GetLoadedSegmentFileList": "i32(out text[4096], size 4096)",
    "Tevra_ARB_GetLoadedSequenceFileList": "i32(out text[4096], size 4096)",
    "Tevra_ARB_Delete_Sequence": "i32(str)",
    "Tevra_ARB_Delete_Segment": "i32(str)",
    "Tevra_ARBEx_Select_Sequence": "i32(str, f64, f64, i32)",
    "Tevra_ARBEx_Select_Sequence_11ag": "i32(str, f64, f64)",
    "Tevra_ARBEx_Select_Sequence_11b": "i32(str, f64, f64)",
    "Tevra_ARBEx_ReSelect": "i32(f64, f64)",
    "Tevra_ARBEx_CWTone": "i32(f64, f64)",
    "Tevra_ARBEx_TriggerSequence": "i32()",
    "Tevra_ARBEx_Stop": "i32(i32)",
    "Tevra_ARBEx_SequencePlaying": "i32(i32)",
    "Tevra_ARB_Select_Sequence": "i32(str, f64, f64, i32)",
    "Tevra_ARB_Select_SequenceEx": "i32(str, f64, f64, f64)",
    "Tevra_ARB_Select_Sequence_11ag": "i32(str, f64, f64)",
    "Tevra_ARB_Select_Sequence_11b": "i32(str, f64, f64)",
    "Tevra_ARB_Play_Segment": "i32(str, f64, f64, i32)",
    "Tevra_ARB_Play_SegmentEx": "i32(str, f64, f64, f64)",
    "Tevra_ARB_Play_Segment_11ag": "i32(str, f64, f64)",
    "Tevra_ARB_Play_Segment_11b": "i32(str, f64, f64)",
    "Tevra_ARB_TriggerSequence": "i32()",
    "Tevra_ARB_Stop": "i32(i32)",
    "Tevra_ARB_CWTone": "i32(f64, f64)",
    "Tevra_ARB_AdjustOutput": "i32(f64, f64)",
    "Tevra_ARB_FreeSegmentSpace": "i32()",
    "Tevra_ARB_SourceActive": "i32()",
    "Tevra_ARB_SequencePlaying": "i32(i32)",
    "Tevra_Log_Open": "i32(str)",
    "Tevra_Log_Close": "void()",
    "Tevra_Log_LogIt": "i32(fmt ...)",
    "Tevra_Measure_AveragePower": "i32(out f64)",
    "Tevra_Measure_CarrierSuppression_dB_11b": "i32(out f64, i32)",
    "Tevra_Measure_CWFrequencyOffset": "i32(out f64)",
    "Tevra_Stat_Measurement": f"void(i32, out i32[{STAT_BLOCK_COUNT}])",
    "Zunt_enableServiceByFriendlyName": "i32(str, i32, str, i32)",
    "Zunt_enableServiceEx": "i32(str, i32, str)",
}
