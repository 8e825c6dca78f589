/* The hook library: watches the keyboard of the whole X display for the program's hotkeys
 * and, while a capture selection runs, holds the pointer and forwards every pointer event.
 * What it sees reaches the program's main window as ClientMessage events whose message type
 * is one of the two atoms below; data.l[0] carries the Windows-style wParam and data.l[1]
 * the lParam. */
#ifndef ORVANE_TILLETHOOK_H
#define ORVANE_TILLETHOOK_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(TILLETHOOK_BUILD)
#define TILLETHOOK_API __attribute__((visibility("default")))
#else
#define TILLETHOOK_API
#endif

/* Number of words in the hotkey table; entries 0 to 12 are the capture actions. */
#define ORV_HOTKEY_COUNT 35

/* Hotkey word: low byte the virtual-key code, plus these modifier bits. 0: no hotkey. */
#define ORV_HOTKEY_CTRL 0x8000
#define ORV_HOTKEY_SHIFT 0x4000
#define ORV_HOTKEY_ALT 0x2000

/* Atoms of "OVM_FORWARD_KEYBOARDMESSAGE" and "OVM_FORWARD_MOUSEMESSAGE", set when the
 * library is loaded (0 where there is no X display). */
extern TILLETHOOK_API uint32_t ORVM_ForwardKeyboardMessage;
extern TILLETHOOK_API uint32_t ORVM_ForwardMouseMessage;

/* Window handles are X window ids, the cursor an X cursor id. Results: 1 true, 0 false.
 * ORV_HookKeyboard returns once the X server records key events: a hotkey released after
 * the call is seen, which lets a program install its hotkeys before it shows itself. */
TILLETHOOK_API int ORV_HookKeyboard(unsigned long target, const uint16_t* table);
TILLETHOOK_API int ORV_UnHookKeyboard(void);
TILLETHOOK_API int ORV_HookMouse(unsigned long target, unsigned long cursor);
TILLETHOOK_API int ORV_UnHookMouse(void);
TILLETHOOK_API int ORV_SetCaptureHotKey(const uint16_t* table);
TILLETHOOK_API int ORV_GetCaptureHotKey(uint16_t* table);

/* Mouse message identifiers carried in data.l[0] of a forwarded mouse message. */
#define ORV_WM_MOUSEMOVE 0x0200
#define ORV_WM_LBUTTONDOWN 0x0201
#define ORV_WM_LBUTTONUP 0x0202
#define ORV_WM_LBUTTONDBLCLK 0x0203
#define ORV_WM_RBUTTONDOWN 0x0204
#define ORV_WM_RBUTTONUP 0x0205
#define ORV_WM_RBUTTONDBLCLK 0x0206
#define ORV_WM_MBUTTONDOWN 0x0207
#define ORV_WM_MBUTTONUP 0x0208
#define ORV_WM_MBUTTONDBLCLK 0x0209
#define ORV_WM_MOUSEWHEEL 0x020A

#ifdef __cplusplus
}
#endif

#endif
