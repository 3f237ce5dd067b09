// The captions the program writes into the main window's buttons while it runs, each with its Alt shortcut (the
// letter after "&"); the captions the window starts with stand in its template, res/maindialog.rc.
#pragma once

// The start button keeps its letter whichever job it starts, and so does the auto-run button.
inline constexpr char kCaptionStartSplit[] = "开始劈分(&S)";
inline constexpr char kCaptionStartJoin[] = "开始合并!(&S)";
inline constexpr char kCaptionAutoRunAdmin[] = "Admin(&L)";
