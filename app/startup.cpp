#include "app/startup.h"

#include "app/cmdline.h"
#include "app/folders.h"
#include "app/handlers.h"
#include "app/results.h"
#include "app/unattended.h"
#include "history/history.h"
#include "bench/frame.h"
#include "bench/state.h"
#include "bench/testrun.h"
#include "gfx/scene.h"
#include "platform/alert.h"
#include "platform/video.h"
#include "protocol/drift.h"
#include "protocol/progress.h"
#include "protocol/pairside.h"
#include "protocol/quick.h"
#include "watch/gpu.h"
#include "watch/gpusteps.h"
#include "watch/loadwatch.h"
#include "record/record.h"
#include "validation/validation.h"
#include "report/headline.h"
#include "report/summary.h"

#include <stdio.h>
#include <stdlib.h>

IBNibRef nibRef;
WindowRef window;
EventHandlerUPP gWindowEventHandler;
EventHandlerUPP gAppEventHandler;
DMExtendedNotificationUPP gWindowEDMUPP;
DMExtendedNotificationUPP gConfigEDMUPP;
EventLoopTimerRef theTimer;

const char kNibName[] = "main";
const char kMenuBarName[] = "MenuBar";
const char kMainWindowName[] = "MainWindow";

static const EventTypeSpec kWindowEvents[] = {
    {kEventClassWindow, kEventWindowCollapsing},  {kEventClassWindow, kEventWindowShown},
    {kEventClassWindow, kEventWindowActivated},   {kEventClassWindow, kEventWindowDeactivated},
    {kEventClassWindow, kEventWindowClose},       {kEventClassWindow, kEventWindowDrawContent},
    {kEventClassWindow, kEventWindowDragStarted}, {kEventClassWindow, kEventWindowBoundsChanged},
    {kEventClassWindow, kEventWindowZoomed},      {kEventClassWindow, kEventWindowZoom},
    {kEventClassKeyboard, kEventRawKeyDown},      {kEventClassKeyboard, kEventRawKeyRepeat},
    {kEventClassKeyboard, kEventRawKeyUp},
};

static const EventTypeSpec kAppEvents[] = {
    {kEventClassCommand, kEventCommandProcess}, {kEventClassCommand, kEventCommandUpdateStatus},
    {kEventClassMouse, kEventMouseDown},        {kEventClassMouse, kEventMouseUp},
    {kEventClassMouse, kEventMouseDragged},     {kEventClassMouse, kEventMouseWheelMoved},
};

static const EventTimeInterval kFrameInterval = 0.0001;

static int LoadFailed(const char *what, OSStatus status) {
    fprintf(stderr,
            "kelvane: cannot load %s from the interface description %s.ui in %s "
            "(status %d)\n",
            what, kNibName, res_folder[0] ? res_folder : "the resource folder", (int)status);
    return 0;
}

void PostCommand(UInt32 commandID, EventPriority priority) {
    EventRef event = NULL;
    if (CreateEvent(NULL, kEventClassCommand, kEventCommandProcess, 0.0, kEventAttributeNone,
                    &event) != noErr)
        return;
    HICommand command = {};
    command.commandID = commandID;
    if (SetEventParameter(event, kEventParamDirectObject, typeHICommand, sizeof command,
                          &command) == noErr)
        PostEventToQueue(GetCurrentEventQueue(), event, priority);
    ReleaseEvent(event);
}

int NewScene(void) {
    // The folders are known before the interface description is looked for, so that a
    // failure can say where it looked; the scene build below needs them too.
    GetWorkingFolder();

    OSStatus status = CreateNibReference(kNibName, &nibRef);
    if (status != noErr) return LoadFailed("anything", status);
    status = SetMenuBarFromNib(nibRef, kMenuBarName);
    if (status != noErr) return LoadFailed(kMenuBarName, status);
    window = NULL;
    status = CreateWindowFromNib(nibRef, kMainWindowName, &window);
    if (status != noErr) return LoadFailed(kMainWindowName, status);

    SetPort(GetWindowPort(window));
    gWindowEventHandler = NewEventHandlerUPP(windowEventHandler);
    InstallEventHandler(GetWindowEventTarget(window), gWindowEventHandler,
                        sizeof kWindowEvents / sizeof kWindowEvents[0], kWindowEvents, window,
                        NULL);
    ShowWindow(window);
    gAppEventHandler = NewEventHandlerUPP(appEventHandler);
    OSStatus appStatus =
        InstallEventHandler(GetApplicationEventTarget(), gAppEventHandler,
                            sizeof kAppEvents / sizeof kAppEvents[0], kAppEvents, NULL, NULL);

    ProcessSerialNumber self = {0, kCurrentProcess};
    gWindowEDMUPP = NewDMExtendedNotificationUPP(handleWindowDMEvent);
    DMRegisterExtendedNotifyProc(gWindowEDMUPP, NULL, 0, &self);
    gConfigEDMUPP = NewDMExtendedNotificationUPP(handleConfigDMEvent);
    DMRegisterExtendedNotifyProc(gConfigEDMUPP, NULL, 0, &self);

    // The 'new ' command every start posts; nothing acts on it.
    if (appStatus == noErr) PostCommand(kCommandNew, kEventPriorityHigh);
    InstallEventLoopTimer(GetCurrentEventLoop(), 0.0, kFrameInterval,
                          NewEventLoopTimerUPP(TimerAction), window, &theTimer);
    AllocScene();
    return 1;
}

int DeleteScene(void) {
    if (theTimer) {
        RemoveEventLoopTimer(theTimer);
        theTimer = NULL;
    }
    FreeScene();
    if (gAppEventHandler) {
        DisposeEventHandlerUPP(gAppEventHandler);
        gAppEventHandler = NULL;
    }
    if (gWindowEventHandler) {
        DisposeEventHandlerUPP(gWindowEventHandler);
        gWindowEventHandler = NULL;
    }
    if (gWindowEDMUPP) {
        DisposeDMExtendedNotificationUPP(gWindowEDMUPP);
        gWindowEDMUPP = NULL;
    }
    if (gConfigEDMUPP) {
        DisposeDMExtendedNotificationUPP(gConfigEDMUPP);
        gConfigEDMUPP = NULL;
    }
    // Closing may already have disposed of the window, or it was never made.
    if (IsValidWindowPtr(window)) {
        HideWindow(window);
        DisposeWindow(window);
        window = NULL;
    }
    if (nibRef) {
        DisposeNibReference(nibRef);
        nibRef = NULL;
    }
    return 0;
}

static bool resultsLost; // a --test run could not write its JSON

// The results of a test that has just ended. A test in the window has not been validated
// before it: its renderer is, now, once, and its results record that.
static void ValidateAndWriteResults(void) {
    // A side of a pair is measured for the pair's result alone.
    if (!resultsPending || pairSide) return;
    EndProgress(stdout);
    ValidateRendererOnce(app_folder);
    if (!WritePendingResults()) resultsLost = true;
    // Kept whatever became of the file: the next test would rewrite it anyway.
    RecordTestInHistory(writtenDocument, stderr);
}

void TimerAction(EventLoopTimerRef, void *) {
    Render();
    WatchLoadAfterFrame();
    WatchGpuAfterFrame();
    if (commandLine.test) {
        DriveQuickTest();
        DrivePairSide();
        DriveDriftCheck();
        ShowProgress(stdout);
    }
    ValidateAndWriteResults(); // after the frame, never inside it
    if (commandLine.test) EndWhenTestOver();
}

void handleWindowDMEvent(void *, SInt16 message, void *) {
    if (message != kDMNotifyEvent) return;
    FreeScene();
    AllocScene();
}

void handleConfigDMEvent(void *, SInt16, void *) {}

// Nobody is there to dismiss a message box: the set-up alerts go to standard error only.
static void AlertToStderr(AlertType, const char *title, const char *text) {
    fprintf(stderr, "%s: %s\n", title, text);
}

// A device number past the last is a slip that EGL's own words do not explain.
static void SayDevicesIfPastTheLast(int device) {
    if (device < 0) return;
    int count = CountEGLDevices();
    if (count < 0 || device < count) return;
    if (count == 0)
        fprintf(stderr, "kelvane: there is no device %d: EGL lists none\n", device);
    else if (count == 1)
        fprintf(stderr,
                "kelvane: there is no device %d: EGL lists one (--device 0); "
                "--list-devices names it\n",
                device);
    else
        fprintf(stderr,
                "kelvane: there is no device %d: EGL lists %d (--device 0 to %d); "
                "--list-devices names them\n",
                device, count, count - 1);
}

// Video for the run: SDL's offscreen driver for --offscreen, a window system otherwise.
static int StartHostVideo(void) {
    if (commandLine.offscreen) {
        if (StartOffscreenVideo(commandLine.offscreenWidth, commandLine.offscreenHeight,
                                commandLine.device))
            return 1;
        fprintf(stderr, "kelvane: cannot render offscreen (%s)\n", WindowSystemError());
        SayDevicesIfPastTheLast(commandLine.device);
        return 0;
    }
    // Without a display the window would be drawn into nothing, and the program would seem
    // to hang: say why and end.
    if (StartWindowSystem()) return 1;
    fprintf(stderr, "kelvane: no display to show the window on (%s)\n", WindowSystemError());
    fprintf(stderr, "kelvane: without one, --test --offscreen runs a test (--quick for a figure "
                    "in a minute)\n");
    return 0;
}

// A side of a pair: a test that the coordinator drives turn by turn (protocol/pairside.h)
// and ends by ending the process; it writes nothing.
static int RunPairSide(void) {
    if (!NewScene() || !running) return kExitNoScene;
    // Its GPU's clock as each turn begins and ends: a GPU left idle through the other side's
    // turns may lower it. What the watch says of it is the coordinator's to say.
    char node[64] = "";
    RenderNodeOfContext("/sys/class/drm", node, sizeof node);
    if (FILE *quiet = fopen("/dev/null", "w")) {
        StartGpuWatch(node, getenv("KELVANE_GPU_CARD"), quiet);
        fclose(quiet);
    }
    ResetPairSide();
    pairSide = true;
    PostTestCommand();
    RunApplicationEventLoop();
    return kExitAborted; // only a side whose test was ended from outside gets here
}

// The --test run: the renderer validated, then a test from the first scene on, the event
// loop until it is over. A renderer that fails validation still runs its test; its result
// says so.
static int RunTest(void) {
    if (commandLine.pairSide) return RunPairSide();
    BeginGlance();
    // The scene and the picture's check take seconds: said before, not after.
    printf("kelvane: building the scene and checking its picture against the references\n");
    if (!NewScene() || !running) return kExitNoScene;
    ValidateRendererOnce(app_folder);
    PrintValidation(stdout, &rendererValidation);
    // The GPU the test renders on, found once; KELVANE_GPU_CARD names a card folder outright
    // (a test's tree of files laid out as a driver's).
    char node[64] = "";
    RenderNodeOfContext("/sys/class/drm", node, sizeof node);
    StartGpuWatch(node, getenv("KELVANE_GPU_CARD"), stdout);
    resultSeries = true;
    resultSeriesAsked = commandLine.repeat;
    CheckDriftAfterStops();
    quickTests = commandLine.quick;
    StartSeries(commandLine.repeat);
    // A climb can take an hour on a fast GPU: said before it starts, with the shorter way.
    if (!commandLine.quick)
        printf("kelvane: a climb: the grid grows every 4 s until the frame rate falls below "
               "10 (minutes on a software renderer, up to an hour on a fast GPU); --quick "
               "gives the steady figure in about a minute, without a score\n");
    else
        printf("quick: finding the grids near 10 frames a second, then measuring them\n");
    EndGlance(0.5, stdout);
    PostTestCommand();
    RunApplicationEventLoop();
    // Ended from outside while measuring (a signal, the window closed): ended as an abort
    // is, so that the log, the JSON and the summary tell the same story.
    if (fullscreen && running) EndTest();
    // A quick run has no score: its figure is what the picture's correctness bears on.
    const char *figure = commandLine.quick ? "steady figure" : "score";
    if (rendererValidated && !rendererValidation.targetMade)
        printf("kelvane: this renderer could not be validated (it cannot draw the validation "
               "frames): whether its %s is of a correct picture is not known\n",
               figure);
    else if (rendererValidated && rendererValidation.failed)
        printf("kelvane: this renderer failed validation: the %s above is not of a correct "
               "picture\n",
               figure);
    return exitStatus;
}

// --validate: the fixed frames against the references, one line each. A renderer that
// cannot draw them has nothing to compare: it ends as one that cannot draw the scene.
static int RunValidate(void) {
    if (!NewScene() || !running) return kExitNoScene;
    ValidateRendererOnce(app_folder);
    PrintValidation(stdout, &rendererValidation);
    if (!rendererValidation.targetMade) return kExitNoScene;
    return rendererValidation.failed ? kExitInvalid : kExitScore;
}

int KelvaneMain(void) {
    if (Unattended()) SetAlertRecorder(AlertToStderr);
    // Nothing can be drawn without video: a run that was asked for a result has none.
    if (!StartHostVideo())
        return commandLine.test || commandLine.validate ? kExitNoScene : kExitInteractive;
    if (!MakePendingResultsFolder(stderr)) return kExitUsage;
    ListenForResults();
    int status = kExitInteractive;
    if (commandLine.test)
        status = RunTest();
    else if (commandLine.validate)
        status = RunValidate();
    else if (NewScene()) {
        RunApplicationEventLoop();
        // A test still going (a signal, the window closed) ends as Escape ends it: stopped
        // in the log, then written and recorded below as an aborted run.
        EndTest();
    }
    // A test that ended just before the loop did has not been written yet.
    ValidateAndWriteResults();
    DeleteScene();
    if (commandLine.test && !resultRuns.empty() && commandLine.repeat > 1)
        PrintSummary(stdout, Summarize(resultRuns));
    else if (commandLine.test && !resultRuns.empty())
        PrintHeadline(stdout, app_folder, lastRunText, resultRuns.back().end == kRunScore);
    if (status == kExitScore && resultsLost) status = kExitUsage;
    return status;
}
