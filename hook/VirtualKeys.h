/* Windows virtual-key codes for X keysyms and back: hotkey words keep virtual-key codes so
 * that stored settings mean the same key everywhere. */
#ifndef ORVANE_VIRTUALKEYS_H
#define ORVANE_VIRTUALKEYS_H

#ifdef __cplusplus
extern "C" {
#endif

/* 0 when the keysym has no virtual-key code. */
unsigned OrvVirtualKeyFromKeysym(unsigned long keysym);
/* 0 (NoSymbol) when the code has no keysym. */
unsigned long OrvKeysymFromVirtualKey(unsigned vk);

#ifdef __cplusplus
}
#endif

#endif
