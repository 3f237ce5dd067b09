// A bare file name that can only ever name a file inside the output folder.
#pragma once

// Rewrites name in place: folders dropped (either slash), "."/".."/empty replaced and control characters other
// than tab made "_" everywhere; with windowsRules also drive and stream colons, device names, characters
// Windows refuses and trailing dots and spaces. The name stored in a piece header is untrusted.
void makeSafeFileNameFor(char* name, bool windowsRules);
// The rules of the running platform.
void makeSafeFileName(char* name);
