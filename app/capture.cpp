// Video capture of an offline run: H.264 pictures, nearest-neighbour scaled, and the
// soundtrack as AAC, both timed by the run's own frame and sample counts.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <cstdio>
#include <string>
#include <vector>

#include "app/capture.h"
#include "app/record.h"

const bool capture_built = true;

namespace {

constexpr int AUDIO_RATE = 44100;

struct Capture {
  std::string path;
  AVFormatContext* format = nullptr;
  AVCodecContext* video = nullptr;
  AVCodecContext* audio = nullptr;
  AVStream* video_stream = nullptr;
  AVStream* audio_stream = nullptr;
  AVFrame* picture = nullptr;
  AVFrame* sound = nullptr;
  AVPacket* packet = nullptr;
  SwsContext* scaler = nullptr;
  int64_t frames = 0;
  int64_t samples_sent = 0;
  std::vector<float> pending_left, pending_right;  // audio not yet a whole encoder frame
  bool failed = false;
  bool header_written = false;
};

Capture* capture = nullptr;

bool drain(AVCodecContext* codec, AVStream* stream) {
  for (;;) {
    const int r = avcodec_receive_packet(codec, capture->packet);
    if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
    if (r < 0) return false;
    av_packet_rescale_ts(capture->packet, codec->time_base, stream->time_base);
    capture->packet->stream_index = stream->index;
    if (av_interleaved_write_frame(capture->format, capture->packet) < 0) return false;
  }
}

bool encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame) {
  return avcodec_send_frame(codec, frame) >= 0 && drain(codec, stream);
}

AVCodecContext* open_video(int fps, int scale) {
  const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
  if (!codec) codec = avcodec_find_encoder(AV_CODEC_ID_H264);
  if (!codec) return nullptr;
  AVCodecContext* c = avcodec_alloc_context3(codec);
  c->width = SCREEN_WIDTH * scale;
  c->height = SCREEN_HEIGHT * scale;
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->time_base = AVRational{1, fps};
  c->framerate = AVRational{fps, 1};
  c->gop_size = fps * 2;
  c->thread_count = 0;
  if (capture->format->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  av_opt_set(c->priv_data, "preset", "veryfast", 0);
  av_opt_set(c->priv_data, "crf", "18", 0);
  if (avcodec_open2(c, codec, nullptr) < 0) avcodec_free_context(&c);
  return c;
}

AVCodecContext* open_audio() {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
  if (!codec) return nullptr;
  AVCodecContext* c = avcodec_alloc_context3(codec);
  c->sample_fmt = AV_SAMPLE_FMT_FLTP;
  c->sample_rate = AUDIO_RATE;
  av_channel_layout_default(&c->ch_layout, 2);
  c->bit_rate = 192000;
  c->time_base = AVRational{1, AUDIO_RATE};
  if (capture->format->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(c, codec, nullptr) < 0) avcodec_free_context(&c);
  return c;
}

// Sends whole encoder frames of the pending audio; at the end also the rest.
bool send_audio(bool last) {
  const size_t frame_size = capture->audio->frame_size > 0 ? capture->audio->frame_size : 1024;
  const bool small_last = capture->audio->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME;
  size_t at = 0;
  while (capture->pending_left.size() - at >= frame_size || (last && at < capture->pending_left.size())) {
    const size_t left = capture->pending_left.size() - at;
    const size_t n = left >= frame_size ? frame_size : left;
    AVFrame* f = capture->sound;
    f->nb_samples = static_cast<int>(small_last || n == frame_size ? n : frame_size);
    if (av_frame_make_writable(f) < 0) return false;
    auto* l = reinterpret_cast<float*>(f->data[0]);
    auto* r = reinterpret_cast<float*>(f->data[1]);
    for (int i = 0; i < f->nb_samples; ++i) {
      const bool real = static_cast<size_t>(i) < n;
      l[i] = real ? capture->pending_left[at + i] : 0.0f;
      r[i] = real ? capture->pending_right[at + i] : 0.0f;
    }
    f->pts = capture->samples_sent;
    capture->samples_sent += f->nb_samples;
    if (!encode(capture->audio, capture->audio_stream, f)) return false;
    at += n;
  }
  capture->pending_left.erase(capture->pending_left.begin(), capture->pending_left.begin() + at);
  capture->pending_right.erase(capture->pending_right.begin(), capture->pending_right.begin() + at);
  return true;
}

void release() {
  if (!capture) return;
  if (capture->format && !(capture->format->oformat->flags & AVFMT_NOFILE) && capture->format->pb)
    avio_closep(&capture->format->pb);
  avformat_free_context(capture->format);
  avcodec_free_context(&capture->video);
  avcodec_free_context(&capture->audio);
  av_frame_free(&capture->picture);
  av_frame_free(&capture->sound);
  av_packet_free(&capture->packet);
  sws_freeContext(capture->scaler);
  delete capture;
  capture = nullptr;
}

}  // namespace

bool capture_open(const char* path, int fps, int scale) {
  av_log_set_level(AV_LOG_ERROR);
  capture = new Capture;
  capture->path = path;
  if (avformat_alloc_output_context2(&capture->format, nullptr, "mp4", path) < 0 || !capture->format) {
    release();
    return false;
  }
  capture->video = open_video(fps, scale);
  capture->audio = open_audio();
  capture->packet = av_packet_alloc();
  capture->picture = av_frame_alloc();
  capture->sound = av_frame_alloc();
  if (!capture->video || !capture->audio || !capture->packet || !capture->picture || !capture->sound) {
    release();
    return false;
  }
  capture->video_stream = avformat_new_stream(capture->format, nullptr);
  capture->audio_stream = avformat_new_stream(capture->format, nullptr);
  avcodec_parameters_from_context(capture->video_stream->codecpar, capture->video);
  avcodec_parameters_from_context(capture->audio_stream->codecpar, capture->audio);
  capture->video_stream->time_base = capture->video->time_base;
  capture->video_stream->avg_frame_rate = capture->video->framerate;
  capture->audio_stream->time_base = capture->audio->time_base;

  AVFrame* p = capture->picture;
  p->format = AV_PIX_FMT_YUV420P;
  p->width = capture->video->width;
  p->height = capture->video->height;
  AVFrame* s = capture->sound;
  s->format = AV_SAMPLE_FMT_FLTP;
  s->sample_rate = AUDIO_RATE;
  av_channel_layout_default(&s->ch_layout, 2);
  s->nb_samples = capture->audio->frame_size > 0 ? capture->audio->frame_size : 1024;
  // The pixel words are B, G, R, A in memory; the top byte is not colour.
  capture->scaler = sws_getContext(SCREEN_WIDTH, SCREEN_HEIGHT, AV_PIX_FMT_BGR0, p->width, p->height,
                                   AV_PIX_FMT_YUV420P, SWS_POINT, nullptr, nullptr, nullptr);
  if (av_frame_get_buffer(p, 0) < 0 || av_frame_get_buffer(s, 0) < 0 || !capture->scaler ||
      avio_open(&capture->format->pb, path, AVIO_FLAG_WRITE) < 0) {
    release();
    return false;
  }
  if (avformat_write_header(capture->format, nullptr) < 0) {
    release();
    remove_unfinished(path);
    return false;
  }
  capture->header_written = true;
  return true;
}

void capture_frame(const Pixel* canvas) {
  if (!capture || capture->failed) return;
  if (av_frame_make_writable(capture->picture) < 0) {
    capture->failed = true;
    return;
  }
  const uint8_t* planes[1] = {reinterpret_cast<const uint8_t*>(canvas)};
  const int strides[1] = {SCREEN_WIDTH * 4};
  sws_scale(capture->scaler, planes, strides, 0, SCREEN_HEIGHT, capture->picture->data, capture->picture->linesize);
  capture->picture->pts = capture->frames++;
  if (!encode(capture->video, capture->video_stream, capture->picture)) capture->failed = true;
}

void capture_audio(const int16_t* stereo, int frames) {
  if (!capture || capture->failed) return;
  for (int i = 0; i < frames; ++i) {
    capture->pending_left.push_back(stereo[2 * i] / 32768.0f);
    capture->pending_right.push_back(stereo[2 * i + 1] / 32768.0f);
  }
  if (!send_audio(false)) capture->failed = true;
}

bool capture_close() {
  if (!capture) return true;
  bool ok = !capture->failed && send_audio(true) && encode(capture->video, capture->video_stream, nullptr) &&
            encode(capture->audio, capture->audio_stream, nullptr);
  if (capture->header_written && av_write_trailer(capture->format) < 0) ok = false;
  const std::string path = capture->path;
  release();
  if (!ok) remove_unfinished(path);
  return ok;
}
