#pragma once

// The player's threading contract. Every rule here is asserted in debug builds where it names an
// owner thread, and the tests under ThreadSanitizer exercise it with real libmpv cores.
// Where the classes named here live: MainThread in base/; RenderThread, DisplayLink and
// MyOpenGLView in view/; MovieStatus in movie/; MpvMovie, CoreReaper, PlaybackControl and
// MpvTextureContext in playback/; MeshInteraction in input/; OscServer in remote/; SyncSocket
// and SyncPlayer in sync/; the controller (MyController) in shell/.
//
// Threads
// - Main thread (the toolkit's): widgets, menus, keys, the preferences, opening and replacing
//   movies, and every libmpv client-API call (mpv_command, properties, event draining).
// - Render thread (RenderThread, one per view): owns the view's GL context and makes every GL
//   call and every libmpv render-API call (mpv_render_context_*). It ticks once per display
//   refresh: paced by a swap that waits for the display, by the refreshes the compositor
//   reported, or by its timer. On Wayland it alone reads the presentation feedback, on a
//   private event queue of its own (WaylandPresentation), never the toolkit's queues; the
//   window's surface reaches it through atomics that the main thread sets (VideoWindow), and
//   the presentation state (RefreshClock, what is in flight) is its own. It never calls the
//   libmpv client API, never touches a widget (it posts to the main
//   thread), and never holds a reference to a Movie: it sees a movie only through its
//   MovieStatus, a block of atomics with no decoder behind it.
// - Core reaper (CoreReaper): destroys movie cores. mpv_terminate_destroy waits for the core's
//   own threads, which may be stuck on a slow file, so neither the main nor the render thread
//   does it.
// - libmpv's threads call only our wakeup callback, which queues a drain on the main thread.
// - OSC receiver (OscServer, only with --osc-port): reads and checks datagrams and puts commands
//   in a bounded queue (its own leaf lock), then posts one drain to the main thread, which carries
//   them out. It never touches the player, the toolkit or the view. The main thread stops and
//   joins it before the player ends; drains still queued find it stopped and do nothing.
// - Sync receiver (SyncSocket, only with --sync-leader or --sync-follow): stamps each datagram
//   with the wall clock, answers clock pings itself, and posts well-formed messages (at most 256
//   waiting) to the main thread, where the session and its SyncPlayer act on them. It never
//   touches the player. The render thread hands each frame it shows to the sync log (written on
//   the render thread only) and honours MovieStatus::heldUntil, which the main thread sets.
// - End of a movie: the render thread sees it in the movie's status and posts it to the main
//   thread (MyOpenGLView::movieDidFinish), which decides between the play list's next movie and
//   the orderly end; a status that is no longer the view's by then is ignored.
//
// Ownership, and where the last reference goes
// - MyOpenGLView and its collaborators (PlaybackControl, MeshInteraction, the controller):
//   main thread. The view's movie is set, read and dropped on the main thread only.
// - A movie (MpvMovie) may lose its last reference on any thread: its deleter hands it to the
//   reaper, which first has the render thread free the core's render context (runAndWait), then
//   destroys the core. A core is never destroyed on the render thread.
// - The mesh (DistortionMatrix): shared, swapped under the view's lock, its interaction state
//   atomic; it holds no thread-bound resource and may be released on either thread. A picture
//   takes the mesh and the frame it is drawn from under the lock and holds them while it draws.
//   The mesh editor (MeshEditSession, main thread) never writes into a mesh on show: each edit
//   makes a new mesh, swapped in under the lock together with the editor's marks
//   (NodeHandles::Marks), which are never changed once made.
// - Frames (FrameTextureRef): shared; released anywhere. A released frame only hands its texture
//   (or, warped on the processor, its picture's memory) back to its pool; textures are made and
//   deleted on the render thread.
// - The processor warp (ProcessorWarp, the view's): render thread only. Its map is built there
//   between frames; the band threads of a warp start and end within the call, reading the frame
//   the drawing holds.
// - The texture context (MpvTextureContext): made on the main thread, lives for the whole run;
//   its GL objects and render contexts are made, used and freed on the render thread. It holds
//   a share of the render thread (RenderThread), as does the view: a core that the reaper
//   destroys after the view has gone (the reaper stops waiting at the end) finds the thread
//   ended, its render context already freed, and nothing freed under it.
//
// Locks, in the only order in which they nest
//   RenderThread tick mutex -> view lock (MyOpenGLView, recursive)
//   RenderThread tick mutex -> RenderThread queue mutex
//   leaf locks, never held across a call: the view lock (held only to read or swap what a
//   picture is drawn from), RenderThread queue mutex, texture pool, picture memory pool,
//   MainThread poster, CoreReaper queue, OSC queue, OSC log throttle, developer log.
// The tick mutex is the one lock held across work: the render thread holds it for a whole tick
// (GL, libmpv's render API, presenting the picture, which may wait for the display's refresh
// or space two commits a refresh apart), because that is how stopping the ticks
// (RenderThread::setTicking(false), DisplayLink::stop) waits for a tick under way; it is taken
// with no other lock held, and the tick never waits for another of our threads. Apart from it,
// no lock is held while calling the libmpv client API or the toolkit, or while waiting for
// another thread: DisplayLink has no lock of its own (whether it runs is the render thread's
// ticking), so stopping it waits holding nothing.
//
// Blocking
// - The main thread may wait for the render thread (RenderThread::runAndWait, DisplayLink::stop,
//   the final quit) only while it holds no lock. The render thread never waits for the
//   main thread or for the reaper.
// - The reaper waits for the render thread (runAndWait) and for libmpv. Once the render thread
//   has ended, runAndWait returns false only after its teardown ran, which freed every render
//   context, so a core is never destroyed while its render context may still be in use.
// - The event loop is never run under a lock.
// - GL work always runs with the view's context current: the render thread makes it current
//   before each task and each tick, on the window's surface, or on an offscreen surface while
//   the window's surface moves or is gone (drawing waits for the window's). Before the window
//   system destroys the window's surface (every window closes when the program quits), the
//   main thread waits until the render thread has left it.

#include <cassert>

// Asserts, in debug builds, that an entry point runs on the thread that owns it.
#define LUMENARC_ASSERT_THREAD(condition) assert((condition) && "called on the wrong thread")
