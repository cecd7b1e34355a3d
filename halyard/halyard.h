/* halyard.dll: writes a driver package for one interface of the power station's composite USB
 * device (vendor ID 0x3746) and hands back the path of its INF file.
 *
 * The program imports this one export by name. Every buffer stays with the caller; the DLL keeps
 * nothing of the call. */
#ifndef HALYARD_H
#define HALYARD_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#if defined(HALYARD_BUILDING_DLL)
#define HALYARD_API __declspec(dllexport)
#else
#define HALYARD_API __declspec(dllimport)
#endif
#define HALYARD_CALL __cdecl
#else
#define HALYARD_API
#define HALYARD_CALL
#endif

/* Size of the caller's buffer that receives the INF path. */
#define HALYARD_INF_PATH_SIZE 260

/* Receives the export's own progress and failure messages (UTF-8, no line feed). */
typedef void(HALYARD_CALL *halyard_log_fn)(const char *message);

/* outputFolder: UTF-8 folder for the package, created with its parents when missing; forward or
 *               back slashes.
 * interfaceNumber: "00" (WinUSB package) or "01" (CDC package for usbser), exactly.
 * infPathOut: HALYARD_INF_PATH_SIZE bytes; receives folder + "\" + INF name on success.
 * log: must be valid; called on the calling thread only, before the export returns.
 *
 * Returns 0 on success or when there is nothing to do (no station present, or the interface
 * already runs its driver; infPathOut is then untouched), else a negative code:
 *   -2 invalid parameter, -3 file error, -4 no USB device at all, -5 bad interfaceNumber,
 *   -6 another process is generating, -11 out of resources, -12 Windows older than 7,
 *   -18 catalog not created, -19 catalog not signed, -99 unknown interface on the station. */
HALYARD_API int HALYARD_CALL halyard(const char *outputFolder, const char *interfaceNumber,
                                     char *infPathOut, halyard_log_fn log);

#ifdef __cplusplus
}
#endif

#endif
