/*
 * libasr: the streaming speech recogniser the program feeds piece by piece.
 *
 * A service is created, given its options, logged in and started; audio is then
 * fed in chunks of at most ASR_MAX_FEED_BYTES, and each word the recogniser
 * completes is fetched as UTF-8 text. The service handle is a 64-bit value that
 * asr_create_service writes and every later call receives by value. Every call
 * uses the C calling convention and is exported by its plain name.
 *
 * Calls on different handles may run on different threads at once; calls on
 * one handle are serialised.
 */
#ifndef LIBASR_H
#define LIBASR_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint64_t asr_service_t;

enum { ASR_MAX_FEED_BYTES = 500 };

/* Option numbers for asr_set_option. */
enum {
    ASR_OPT_APP_KEY = 9,         /* 40 lower-case base-32 characters (a-z, 2-7) */
    ASR_OPT_DOMAIN = 18,         /* recognition domain, e.g. "general" */
    ASR_OPT_RESULT_FILTER = 201, /* result filter, e.g. "filterName=search;returnType=json;" */
    ASR_OPT_SECRET = 204,        /* 32 lower-case hexadecimal digits */
    ASR_OPT_AUDIO_FORMAT = 1001  /* only "pcm16k": 16 kHz mono 16-bit PCM, raw or WAV */
};

/* Non-negative results. */
enum {
    ASR_OK = 0,
    ASR_FEED_NO_RESULT = 0, /* asr_feed_buffer: nothing to fetch */
    ASR_FEED_RESULT = 2,    /* asr_feed_buffer: a word was completed, fetch it */
    ASR_STOP_RESULT = 0,    /* asr_stop_recognizer: a last result can be fetched */
    ASR_STOP_NO_RESULT = 1  /* asr_stop_recognizer: stopped, nothing left to fetch */
};

/* Errors. */
enum {
    ASR_ERR_INVALID_ARGUMENT = -20001, /* null pointer, negative size, null option text */
    ASR_ERR_INVALID_HANDLE = -20002,   /* not a handle of a live service */
    ASR_ERR_UNKNOWN_OPTION = -20003,   /* an option number not listed above */
    ASR_ERR_NO_CREDENTIALS = -20004,   /* login without the application key or the secret */
    ASR_ERR_BAD_CREDENTIALS = -20005,  /* login with a key or secret of the wrong form */
    ASR_ERR_NOT_LOGGED_IN = -20006,    /* start before a successful login */
    ASR_ERR_AUDIO_FORMAT = -20007,     /* start without the audio format "pcm16k" */
    ASR_ERR_NO_DOMAIN = -20008,        /* start without a domain */
    ASR_ERR_NOT_STARTED = -20009,      /* feed or stop while the recogniser is not started */
    ASR_ERR_BUFFER_TOO_LARGE = -20010, /* feed of more than ASR_MAX_FEED_BYTES */
    ASR_ERR_BAD_AUDIO = -20011,        /* a WAV stream that is not 16 kHz mono 16-bit PCM */
    ASR_ERR_INTERNAL = -20012,         /* the recogniser ran out of memory */
    ASR_ERR_FAULT_SCRIPT = -20099      /* the LIBASR_FAULTS setting cannot be read */
};

/* Creates a service and writes its handle; on failure the handle is set to 0. */
int __cdecl asr_create_service(asr_service_t* service);

/* Stores an option; options 9 and 204 are checked at login, 1001 and 18 at start. */
int __cdecl asr_set_option(asr_service_t service, int option, const char* value);

int __cdecl asr_login_service(asr_service_t service);

/* Starts a new audio stream; on a started recogniser it drops the old stream and
   the words not yet fetched. */
int __cdecl asr_start_recognizer(asr_service_t service);

/* Feeds up to ASR_MAX_FEED_BYTES of the stream. A stream that begins with a
   RIFF/WAVE header is read as a WAV file, any other as raw PCM. A failure other
   than a refused argument ends the stream: the recogniser must be started again. */
int __cdecl asr_feed_buffer(asr_service_t service, const void* data, int size);

/* The words completed and not yet fetched, concatenated, UTF-8; fetching clears
   them. The text stays valid until the next call on the service. An unknown
   handle gives the empty text, never a null pointer. */
const char* __cdecl asr_get_result(asr_service_t service);

/* Ends the stream: a word still being spoken counts when long enough. */
int __cdecl asr_stop_recognizer(asr_service_t service);

/* Frees the service; its handle is never handed out again. */
int __cdecl asr_release_service(asr_service_t service);

#ifdef __cplusplus
}
#endif

#endif
