#include "common/dvd/dvd_title_reader.h"

#include <algorithm>
#include <bitset>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>

#include <dvdread/ifo_read.h>

#include "common/dvd/dvd_language.h"
#include "common/dvd/dvd_trace.h"

namespace {

constexpr int kMaxPgcNumber = 1024;
constexpr int kMaxProgramNumber = 100;

// libdvdread reports a path it cannot stat with perror, past its logger: check first.
bool PathExists(const char* path) {
  struct stat info;
  if (path != nullptr && stat(path, &info) == 0) return true;
  DvdTrace("dvd: cannot open \"%s\"\n", path != nullptr ? path : "");
  return false;
}

void NavError(dvdnav_t* nav) {
  if (nav != nullptr) DvdTrace("dvdnav: %s\n", dvdnav_err_to_string(nav));
}

const pgc_t* PgcOf(const ifo_handle_t* vts, int pgcn) {
  const pgcit_t* pgcit = vts->vts_pgcit;
  if (pgcit == nullptr || pgcn < 1 || pgcn > pgcit->nr_of_pgci_srp || pgcit->pgci_srp == nullptr) return nullptr;
  return pgcit->pgci_srp[pgcn - 1].pgc;
}

void CopyLanguage(char* dest, uint16_t code) {
  std::snprintf(dest, kDvdLanguageNameSize, "%s", DvdLanguageName(LangForCode(code)));
}

// The cell address table must hold sane sector ranges.
bool CellAddressesValid(const ifo_handle_t* vts) {
  const c_adt_t* adt = vts->vts_c_adt;
  if (adt == nullptr || adt->cell_adr_table == nullptr) return false;
  const uint32_t bytes = adt->last_byte + 1 >= C_ADT_SIZE ? adt->last_byte + 1 - C_ADT_SIZE : 0;
  const uint32_t entries = bytes / sizeof(cell_adr_t);
  const uint32_t n = std::min<uint32_t>(adt->nr_of_vobs, entries);
  for (uint32_t i = 0; i < n; ++i) {
    const cell_adr_t& c = adt->cell_adr_table[i];
    if ((c.start_sector & 0xFFFFFF) == 0xFFFFFF || (c.last_sector & 0xFFFFFF) == 0xFFFFFF ||
        c.start_sector >= c.last_sector)
      return false;
  }
  return true;
}

bool HasAudioId(const PtrList* list, int32_t id) {
  for (int i = 0; i < PtrListCount(list); ++i)
    if (static_cast<const DvdAudio*>(PtrListItem(list, i))->stream_id == id) return true;
  return false;
}

bool AddSubtitle(DvdTitle* title, int stream, const subp_attr_t& attr) {
  const int32_t id = ((0x20 + stream) << 8) | 0xBD;
  for (int i = 0; i < PtrListCount(title->subtitles); ++i)
    if (static_cast<DvdSubtitle*>(PtrListItem(title->subtitles, i))->stream_id == id) return true;
  auto* sub = static_cast<DvdSubtitle*>(std::calloc(1, sizeof(DvdSubtitle)));
  if (sub == nullptr) return false;
  sub->stream_id = id;
  CopyLanguage(sub->language, attr.lang_code);
  sub->code_extension = attr.code_extension;
  if (!PtrListAppend(title->subtitles, sub)) {
    std::free(sub);
    return false;
  }
  return true;
}

bool ScanAudio(DvdTitle* title, const ifo_handle_t* vts, const pgc_t* pgc) {
  const vtsi_mat_t* mat = vts->vtsi_mat;
  const int streams = std::min<int>(mat->nr_of_vts_audio_streams, 8);
  for (int i = 0; i < streams; ++i) {
    const uint16_t control = pgc->audio_control[i];
    if ((control & 0x8000) == 0) continue;
    const int n = (control >> 8) & 0x7F;
    const audio_attr_t& attr = mat->vts_audio_attr[i];
    int32_t codec = 0;
    int32_t id = 0;
    switch (attr.audio_format) {
      case 0:
        codec = kDvdAudioAc3;
        id = ((0x80 + n) << 8) | 0xBD;
        break;
      case 2:
      case 3:
        codec = kDvdAudioMpeg;
        id = 0xC0 + n;
        break;
      case 4:
        codec = kDvdAudioLpcm;
        id = ((0xA0 + n) << 8) | 0xBD;
        break;
      case 6:
        codec = kDvdAudioDts;
        id = ((0x88 + n) << 8) | 0xBD;
        break;
      default:
        continue;
    }
    if (HasAudioId(title->audio, id)) continue;
    auto* audio = static_cast<DvdAudio*>(std::calloc(1, sizeof(DvdAudio)));
    if (audio == nullptr) return false;
    audio->stream_id = id;
    audio->codec = codec;
    audio->sample_rate = 48000;
    audio->channels = attr.channels + 1;
    CopyLanguage(audio->language, attr.lang_code);
    audio->code_extension = attr.code_extension;
    if (!PtrListAppend(title->audio, audio)) {
      std::free(audio);
      return false;
    }
  }
  return true;
}

bool ScanSubpictures(DvdTitle* title, const ifo_handle_t* vts, const pgc_t* pgc) {
  const vtsi_mat_t* mat = vts->vtsi_mat;
  const video_attr_t& video = mat->vts_video_attr;
  const int streams = std::min<int>(mat->nr_of_vts_subp_streams, 32);
  for (int k = 0; k < streams; ++k) {
    const uint32_t control = pgc->subp_control[k];
    if ((control & 0x80000000u) == 0) continue;
    const subp_attr_t& attr = mat->vts_subp_attr[k];
    const int letterbox = (control >> 8) & 0x1F;
    const int wide = (control >> 16) & 0x1F;
    const int panscan = control & 0x1F;
    bool ok = true;
    if (video.display_aspect_ratio == 0) {
      ok = AddSubtitle(title, (control >> 24) & 0x7F, attr);
    } else if (video.display_aspect_ratio == 3) {
      if (video.permitted_df == 0) {
        ok = AddSubtitle(title, letterbox, attr) && AddSubtitle(title, wide, attr) && AddSubtitle(title, panscan, attr);
      } else if (video.permitted_df == 2) {
        ok = AddSubtitle(title, letterbox, attr) && AddSubtitle(title, wide, attr);
      } else {
        ok = AddSubtitle(title, (control >> 24) & 0x1F, attr);
      }
    }
    if (!ok) return false;
  }
  return true;
}

// First cell (0-based) of a program, or -1 when the program map does not give a valid one.
int ProgramFirstCell(const pgc_t* pgc, int program) {
  if (pgc == nullptr || pgc->program_map == nullptr || pgc->cell_playback == nullptr) return -1;
  if (program < 1 || program > pgc->nr_of_programs) return -1;
  const int cell = pgc->program_map[program - 1] - 1;
  if (cell < 0 || cell >= pgc->nr_of_cells) return -1;
  return cell;
}

// Fills a chapter's cells: from its program's first cell to the cell before the first cell
// of the next chapter in the same PGC, or to the PGC's last cell.
void WalkChapterCells(DvdChapterRecord* chapter, const pgc_t* pgc, const PtrList* chapters) {
  const int first = ProgramFirstCell(pgc, chapter->program);
  if (first < 0) return;
  int next_program = 0;
  for (int i = 0; i < PtrListCount(chapters); ++i) {
    const auto* other = static_cast<const DvdChapterRecord*>(PtrListItem(chapters, i));
    if (other->pgc == chapter->pgc && other->program > chapter->program &&
        (next_program == 0 || other->program < next_program))
      next_program = other->program;
  }
  int last = pgc->nr_of_cells - 1;
  if (next_program != 0) {
    const int next_first = ProgramFirstCell(pgc, next_program);
    if (next_first > first) last = next_first - 1;
  }
  for (int cell = first; cell <= last; cell = DvdNextCell(pgc, cell)) {
    const cell_playback_t& c = pgc->cell_playback[cell];
    const int64_t duration = DvdTimeToMs(c.playback_time) * 90;
    if (chapter->cell_count < kDvdMaxCells) {
      DvdCell& entry = chapter->cells[chapter->cell_count++];
      entry.first_sector = static_cast<int32_t>(c.first_sector);
      entry.last_sector = static_cast<int32_t>(c.last_sector);
      entry.duration = duration;
      entry.cell_index = cell;
    }
    chapter->last_sector = static_cast<int32_t>(c.last_sector);
    chapter->duration += duration;
  }
}

void FreeItems(PtrList* list) {
  for (int i = 0; i < PtrListCount(list); ++i) std::free(PtrListItem(list, i));
}

}  // namespace

int64_t DvdTimeToMs(const dvd_time_t& time) {
  auto bcd = [](uint8_t v) { return static_cast<int64_t>((v >> 4) * 10 + (v & 0x0F)); };
  int64_t ms = bcd(time.hour) * 3600000 + bcd(time.minute) * 60000 + bcd(time.second) * 1000;
  const int rate = (time.frame_u >> 6) & 3;
  const int64_t frames = ((time.frame_u >> 4) & 3) * 10 + (time.frame_u & 0x0F);
  if (rate == 1) ms += frames * 1000 / 25;
  if (rate == 3) ms += frames * 100000 / 2997;
  return ms;
}

int DvdNextCell(const pgc_t* pgc, int cell) {
  if (pgc == nullptr || pgc->cell_playback == nullptr || cell < 0 || cell >= pgc->nr_of_cells) return cell + 1;
  if (pgc->cell_playback[cell].block_type != BLOCK_TYPE_ANGLE_BLOCK) return cell + 1;
  const int last = pgc->nr_of_cells - 1;
  int end = cell;
  while (end < last && pgc->cell_playback[end].block_mode != BLOCK_MODE_LAST_CELL) ++end;
  return end + 1;
}

int64_t DvdChainDuration(const ifo_handle_t* vts, int pgcn, int program) {
  if (vts == nullptr || vts->vts_pgcit == nullptr) return 0;
  const int count = vts->vts_pgcit->nr_of_pgci_srp;
  if (pgcn == 0 || pgcn > count || pgcn >= kMaxPgcNumber || program == 0 || program >= kMaxProgramNumber) return 0;
  std::bitset<kMaxPgcNumber> visited;
  int64_t total = 0;
  for (int current = pgcn;;) {
    const pgc_t* pgc = PgcOf(vts, current);
    if (pgc != nullptr && pgc->nr_of_programs >= program) total += DvdTimeToMs(pgc->playback_time) * 90;
    visited.set(current);
    const int next = pgc != nullptr ? pgc->next_pgc_nr : 0;
    if (next == 0 || next >= kMaxPgcNumber || next > count || visited.test(next)) break;
    current = next;
    program = 1;
  }
  return total;
}

DvdTitle* DvdBuildTitle(const ifo_handle_t* vts, int vts_ttn, int number) {
  if (vts == nullptr || vts->vtsi_mat == nullptr || vts->vts_ptt_srpt == nullptr || vts->vts_pgcit == nullptr)
    return nullptr;
  if (!CellAddressesValid(vts)) return nullptr;
  const vts_ptt_srpt_t* ptts = vts->vts_ptt_srpt;
  if (vts_ttn < 1 || vts_ttn > ptts->nr_of_srpts || ptts->title == nullptr) return nullptr;
  const ttu_t& parts = ptts->title[vts_ttn - 1];
  if (parts.nr_of_ptts == 0 || parts.ptt == nullptr) return nullptr;

  // Longest chain of the title's parts; a lower program of the same PGC lowers the choice.
  int chosen_pgc = parts.ptt[0].pgcn;
  int chosen_program = parts.ptt[0].pgn;
  int64_t chosen_duration = DvdChainDuration(vts, chosen_pgc, chosen_program);
  for (int j = 1; j < parts.nr_of_ptts; ++j) {
    const int64_t d = DvdChainDuration(vts, parts.ptt[j].pgcn, parts.ptt[j].pgn);
    if (d > chosen_duration) {
      chosen_duration = d;
      chosen_pgc = parts.ptt[j].pgcn;
      chosen_program = parts.ptt[j].pgn;
    } else if (parts.ptt[j].pgcn == chosen_pgc && parts.ptt[j].pgn < chosen_program) {
      chosen_program = parts.ptt[j].pgn;
    }
  }
  if (chosen_pgc < 1 || chosen_pgc >= kMaxPgcNumber) return nullptr;
  const pgc_t* pgc = PgcOf(vts, chosen_pgc);
  if (pgc == nullptr || chosen_program < 1 || chosen_program > pgc->nr_of_programs) return nullptr;

  const video_attr_t& video = vts->vtsi_mat->vts_video_attr;
  if (video.display_aspect_ratio != 0 && video.display_aspect_ratio != 3) return nullptr;

  auto* title = static_cast<DvdTitle*>(std::calloc(1, sizeof(DvdTitle)));
  if (title == nullptr) return nullptr;
  title->number = number;
  title->video_stream_id = 0xE0;
  title->chapters = PtrListCreate();
  title->audio = PtrListCreate();
  title->subtitles = PtrListCreate();
  bool ok = title->chapters != nullptr && title->audio != nullptr && title->subtitles != nullptr;

  ok = ok && ScanAudio(title, vts, pgc);
  if (ok) std::memcpy(title->palette, pgc->palette, sizeof title->palette);
  ok = ok && ScanSubpictures(title, vts, pgc);

  for (int j = 0; ok && j < parts.nr_of_ptts; ++j) {
    auto* chapter = static_cast<DvdChapterRecord*>(std::calloc(1, sizeof(DvdChapterRecord)));
    if (chapter == nullptr || !PtrListAppend(title->chapters, chapter)) {
      std::free(chapter);
      ok = false;
      break;
    }
    chapter->number = j + 1;
    chapter->pgc = parts.ptt[j].pgcn;
    chapter->program = parts.ptt[j].pgn;
  }
  for (int j = 0; ok && j < PtrListCount(title->chapters); ++j) {
    auto* chapter = static_cast<DvdChapterRecord*>(PtrListItem(title->chapters, j));
    WalkChapterCells(chapter, PgcOf(vts, chapter->pgc), title->chapters);
    title->duration += chapter->duration;
  }
  if (!ok) {
    DvdTitleClose(&title);
    return nullptr;
  }

  static const int kWidths[4] = {720, 704, 352, 352};
  static const int kHeights[2][4] = {{480, 480, 480, 240}, {576, 576, 576, 288}};
  title->aspect = video.display_aspect_ratio;
  title->video_format = video.video_format;
  if (video.video_format <= 1) {
    title->width = kWidths[video.picture_size];
    title->height = kHeights[video.video_format][video.picture_size];
  }
  title->video_kind = video.mpeg_version != 0 ? kDvdVideoMpeg2 : kDvdVideoMpeg1;
  return title;
}

void DvdTitleClose(DvdTitle** title) {
  if (title == nullptr || *title == nullptr) return;
  DvdTitle* t = *title;
  FreeItems(t->chapters);
  FreeItems(t->audio);
  FreeItems(t->subtitles);
  PtrListClose(&t->chapters);
  PtrListClose(&t->audio);
  PtrListClose(&t->subtitles);
  std::free(t);
  *title = nullptr;
}

int DvdChapterFind(const PtrList* chapters, int pgc, int program) {
  int found = 0;
  int found_program = 0;
  for (int i = 0; i < PtrListCount(chapters); ++i) {
    const auto* c = static_cast<const DvdChapterRecord*>(PtrListItem(chapters, i));
    if (c->pgc == pgc && c->program <= program && c->program > found_program) {
      found = c->number;
      found_program = c->program;
    }
  }
  return found;
}

DvdNavHandle* DvdNavInit(const char* path) {
  if (!PathExists(path)) return nullptr;
  auto* handle = static_cast<DvdNavHandle*>(std::calloc(1, sizeof(DvdNavHandle)));
  if (handle == nullptr) return nullptr;
  handle->path = strdup(path);
  bool ok = handle->path != nullptr && dvdnav_open2(&handle->nav, nullptr, &kDvdNavLogger, path) == DVDNAV_STATUS_OK &&
            handle->nav != nullptr;
  if (ok && dvdnav_set_readahead_flag(handle->nav, 1) != DVDNAV_STATUS_OK) {
    NavError(handle->nav);
    ok = false;
  }
  if (ok && dvdnav_set_PGC_positioning_flag(handle->nav, 1) != DVDNAV_STATUS_OK) {
    NavError(handle->nav);
    ok = false;
  }
  if (ok) ok = (handle->reader = DVDOpen2(nullptr, &kDvdReadLogger, path)) != nullptr;
  if (ok) ok = (handle->vmg = ifoOpen(handle->reader, 0)) != nullptr;
  if (!ok) DvdNavClose(&handle);
  return handle;
}

void DvdNavClose(DvdNavHandle** handle) {
  if (handle == nullptr || *handle == nullptr) return;
  DvdNavHandle* h = *handle;
  if (h->nav != nullptr) dvdnav_close(h->nav);
  if (h->vmg != nullptr) ifoClose(h->vmg);
  if (h->reader != nullptr) DVDClose(h->reader);
  std::free(h->path);
  std::free(h);
  *handle = nullptr;
}

const char* DvdNavName(const char* path) {
  static char volume_id[1024];
  static unsigned char volume_set_id[1024];
  if (!PathExists(path)) return nullptr;
  dvd_reader_t* reader = DVDOpen2(nullptr, &kDvdReadLogger, path);
  if (reader == nullptr) return nullptr;
  volume_id[0] = 0;
  const int result = DVDUDFVolumeInfo(reader, volume_id, sizeof volume_id, volume_set_id, sizeof volume_set_id);
  DVDClose(reader);
  volume_id[sizeof volume_id - 1] = 0;
  return result == 0 ? volume_id : nullptr;
}

int DvdNavTitleCount(DvdNavHandle* handle) {
  if (handle == nullptr || handle->nav == nullptr) return 0;
  int32_t count = 0;
  if (dvdnav_get_number_of_titles(handle->nav, &count) != DVDNAV_STATUS_OK) {
    NavError(handle->nav);
    return 0;
  }
  return count > 0 ? count : 0;
}

DvdTitle* DvdNavTitleScan(DvdNavHandle* handle, int title) {
  if (handle == nullptr || handle->vmg == nullptr || handle->reader == nullptr) return nullptr;
  const tt_srpt_t* table = handle->vmg->tt_srpt;
  if (table == nullptr || table->title == nullptr || title < 1 || title > table->nr_of_srpts) return nullptr;
  const title_info_t& info = table->title[title - 1];
  if (info.title_set_nr == 0) return nullptr;
  ifo_handle_t* vts = ifoOpen(handle->reader, info.title_set_nr);
  if (vts == nullptr) return nullptr;
  DvdTitle* result = DvdBuildTitle(vts, info.vts_ttn, title);
  ifoClose(vts);
  return result;
}

int DvdNavAngleCount(DvdNavHandle* handle) {
  int32_t current = 0;
  int32_t count = 0;
  if (handle == nullptr || handle->nav == nullptr ||
      dvdnav_get_angle_info(handle->nav, &current, &count) != DVDNAV_STATUS_OK)
    return 1;
  return count;
}

int DvdNavSetAngle(DvdNavHandle* handle, int angle) {
  if (handle == nullptr || handle->nav == nullptr) return 0;
  if (dvdnav_angle_change(handle->nav, angle) != DVDNAV_STATUS_OK) {
    NavError(handle->nav);
    return 0;
  }
  return 1;
}
