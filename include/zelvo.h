/*
 * zelvo.h - the caller's interface of zelvo.dll.
 *
 * zelvo.dll is loaded into the process of the trading client and drives the
 * client's own windows. Call these functions from a thread of that process
 * other than the client's user-interface thread. Calls are serialised: a call
 * made while another thread's call runs waits until that call returns.
 *
 * All text is GBK (code page 936), zero-terminated. Every output buffer is
 * filled with the whole text and its terminating zero, without a length
 * limit: size message buffers at 1 KiB or more, and the query result buffer
 * for the largest list you expect. A null output buffer is skipped.
 *
 * bool results are one byte (1 success, 0 failure); a caller that declares
 * them as a 32-bit integer must test the low byte alone.
 */
#ifndef ZELVO_H
#define ZELVO_H

/* The version of zelvo.dll this header describes (also in the DLL's version
 * resource). */
#define ZELVO_VERSION "0.1.0"

#ifdef __cplusplus
extern "C" {
#else
#include <stdbool.h>
#endif

#ifdef ZELVO_BUILDING_DLL
#define ZELVO_API /* exported through the module definition file, undecorated */
#else
#define ZELVO_API __declspec(dllimport)
#endif

/* Attaches to the trading client of this process. password is kept and typed
 * into the client's password confirmation when an order brings it up (null or
 * empty: never typed). message receives "欢迎使用" followed by the client's
 * title on success, or the refusal text. Returns true when attached. */
ZELVO_API bool __stdcall Zelvo_Login(const char* password, char* message);

/* Detaches and shows the client's main window again. */
ZELVO_API void __stdcall Zelvo_Logout(void);

/* The client's main window title (empty before an attach and after logout). */
ZELVO_API void __stdcall Zelvo_GetWndText(char* text);

/* The short name of the last recognised broker edition (empty before any). */
ZELVO_API void __stdcall Zelvo_GetBroker(char* text);

/* The account selected in the client's account box (empty when none). */
ZELVO_API void __stdcall Zelvo_GetAccount(char* text);

/* Runs query kind 0-11 on the client and waits for its answer. result
 * receives the funds line, the currency summary or the page's list as table
 * text (cells joined by TAB, lines by LF, header line first); on failure it
 * receives empty text. message receives the client's status text on success,
 * else the client's prompt text or a fixed text ("未登录", "不支持",
 * "查询超时", ...). Both buffers are always written. */
ZELVO_API void __stdcall Zelvo_QueryData(int kind, char* result, char* message);

/* Places an order of kind 0-6 (buy, sell, margin buy, short sell, buy to
 * return, sell to repay, return in kind). Returns the contract number from the
 * client's final prompt, or -1 (not attached, kind not supported, the client
 * refused, or a bounded wait ran out). message receives the client's final
 * prompt text or a fixed text. */
ZELVO_API int __stdcall Zelvo_SendOrder(int kind, const char* code, double price, int quantity, char* message);

/* Cancels the order with the client's order number orderNo. Returns true when
 * the client's cancel confirmation was reached and accepted; message receives
 * the client's last prompt text or a fixed text. */
ZELVO_API bool __stdcall Zelvo_CancelOrder(int orderNo, char* message);

#ifdef __cplusplus
}
#endif

#endif /* ZELVO_H */
