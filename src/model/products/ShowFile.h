#pragma once
// What a show keeps beyond the device's program: its music, the products on its channels and
// the declaration's fields, all in the program's companion file (show.tir -> show.musique).
//
// The ".musique" file is extended with new line kinds rather than joined by a second
// companion: a show stays two files to copy, back up and keep out of reach of exports, with one
// careful write and one backup; every ".musique" file written so far reads as before, and a
// show without products or declaration writes exactly the bytes it always did (version 1).
// With them the header says version 2, so that an older Salvodesk refuses the file at line 1,
// named, rather than misreading part of it.
//
//   SalvodeskMusique ; 2
//   Son ; musique/final.wav
//   Repère ; 3.5 ; Refrain
//   Produit ; 1 ; F4 ; Bombe 105 ; Lumière ; CE 1234 ; 105 ; 620 ; 4.5 ; 3.2 ; 140 ; pivoine
//   Voie ; 7 ; 1 ; 2
//   Lieu ; Plage du Prado, Marseille
//   Date ; 14/07/2027 22:30
//   Organisateur ; Comité des fêtes
//   Responsable ; Jeanne Martin
//   Certificat ; C4-T2 n° 1234
//   Niveau ; 2
//
// "Produit": a number, then category, name, maker, reference, calibre (mm), net active mass
// (g), duration (s), lift time (s), safety distance (m) and effect; an unknown figure is an
// empty field. Each product different from the others is written once and the channels name
// it: "Voie": channel, product number, quantity. Texts are escaped so that any text reads
// back: "\;" for ";", "\n" and "\r" for line breaks, "\\" for "\". Numbers with a point.

#include "model/music/MusicFile.h"
#include "model/products/Product.h"

#include <map>
#include <string>

namespace salvo {

// The declaration's fields, as typed.
struct Dossier {
    std::string Place;
    std::string DateTime;
    std::string Organiser;
    std::string Shooter; // responsable de tir
    std::string CertificateNumber;
    int CertificateLevel = 0; // 1 or 2; 0 when not given

    bool Empty() const;
    bool operator==(const Dossier& o) const;
};

struct ShowData {
    MusicData Music;
    std::map<int, ChannelProduct> Channels; // channel number -> its product
    Dossier Declaration;

    bool Empty() const { return Music.Empty() && Channels.empty() && Declaration.Empty(); }
};

std::string ShowFileBytes(const ShowData& show, const std::string& programPath);
// Music files of either version; on Invalid, show is left empty and Line names the line.
MusicReadResult ParseShowFile(const std::string& bytes, const std::string& programPath,
                              ShowData& show);
MusicReadResult ReadShowFile(const std::string& programPath, ShowData& show);
// As WriteMusicFile: the replaced file kept as its backup, an empty show writing nothing.
MusicWrite WriteShowFile(const ShowData& show, const std::string& programPath);

} // namespace salvo
