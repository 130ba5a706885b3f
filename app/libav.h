// The FFmpeg libraries, opened the first time video work needs them. Linked
// at start-up they would bring about a hundred more shared libraries into
// every run of the program (some 75 ms before main), though only AVI import
// and the video exports use them. Callers go through the table: Av().name(...).
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <string>

#define LW_LIBAV_FUNCTIONS(X)                                                                                         \
  X(av_audio_fifo_alloc) X(av_audio_fifo_free) X(av_audio_fifo_read) X(av_audio_fifo_size) X(av_audio_fifo_write)     \
  X(av_channel_layout_copy) X(av_channel_layout_default) X(av_channel_layout_uninit) X(av_dict_free) X(av_dict_set)   \
  X(av_find_best_stream) X(av_find_input_format) X(av_frame_alloc) X(av_frame_free) X(av_frame_get_buffer)            \
  X(av_frame_make_writable) X(av_frame_unref) X(av_freep) X(av_interleaved_write_frame) X(av_log_set_level)           \
  X(av_mallocz) X(av_new_packet) X(av_opt_set) X(av_opt_set_int) X(av_packet_alloc) X(av_packet_free)                 \
  X(av_packet_rescale_ts) X(av_packet_unref) X(av_read_frame) X(av_samples_alloc_array_and_samples)                   \
  X(av_samples_set_silence) X(av_strerror) X(av_write_trailer) X(avcodec_alloc_context3) X(avcodec_find_decoder)      \
  X(avcodec_find_encoder) X(avcodec_find_encoder_by_name) X(avcodec_free_context) X(avcodec_open2)                    \
  X(avcodec_parameters_copy) X(avcodec_parameters_from_context) X(avcodec_parameters_to_context)                      \
  X(avcodec_receive_frame) X(avcodec_receive_packet) X(avcodec_send_frame) X(avcodec_send_packet)                     \
  X(avformat_alloc_output_context2) X(avformat_close_input) X(avformat_find_stream_info) X(avformat_free_context)     \
  X(avformat_new_stream) X(avformat_open_input) X(avformat_query_codec) X(avformat_write_header) X(avio_closep)        \
  X(avio_flush) X(avio_open) X(swr_alloc_set_opts2) X(swr_convert) X(swr_free) X(swr_get_out_samples) X(swr_init)     \
  X(sws_freeContext) X(sws_getCachedContext) X(sws_getContext) X(sws_scale)

struct CLibAv {
#define LW_LIBAV_MEMBER(name) decltype(&::name) name = nullptr;
  LW_LIBAV_FUNCTIONS(LW_LIBAV_MEMBER)
#undef LW_LIBAV_MEMBER
};

// Opens the libraries once (later calls return the same answer); false with
// the reason when one of them or one of its functions is missing.
bool LoadLibAv(std::string* reason = nullptr);
// The functions; call only after LoadLibAv returned true.
const CLibAv& Av();
