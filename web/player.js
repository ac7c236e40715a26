// The page around the engine: it shows what the game writes (its colour
// codes become classes), sends the player's lines as the game's input,
// times the typewriter's waits, keeps the saves in the browser's storage and
// hands the engine the stories published in the page.
"use strict";
(() => {
  const ecran = document.getElementById("ecran");
  const annonce = document.getElementById("annonce");
  const formulaire = document.getElementById("reponse");
  const saisie = document.getElementById("saisie");
  const vitesse = document.getElementById("vitesse");
  const recommencer = document.getElementById("recommencer");
  const fin = document.getElementById("fin");

  const classesDesCouleurs = { "31": "rouge", "32": "vert", "33": "jaune", "34": "bleu" };
  const facteurs = { normale: 1, rapide: 4, instantanee: 0 };
  const cleVitesse = "orlimar:vitesse";
  const prefixeSauvegarde = "orlimar:" + location.pathname + ":";
  const glypheDeBanniere = /[\u2500-\u259f]/;
  const annoncesGardees = 20;

  // --- Storage: the browser's, or the tab's own when the browser refuses.
  const stockage = (() => {
    try {
      const essai = "orlimar:essai";
      localStorage.setItem(essai, essai);
      localStorage.removeItem(essai);
      return localStorage;
    } catch (refus) {
      const gardes = new Map();
      return {
        getItem: (cle) => (gardes.has(cle) ? gardes.get(cle) : null),
        setItem: (cle, valeur) => gardes.set(cle, String(valeur)),
        removeItem: (cle) => gardes.delete(cle),
      };
    }
  })();

  // --- The page's state, read by the browser tests and the benchmark.
  const etat = {
    lectures: 0,        // answers the game asked for
    attend: false,      // the game waits for an answer
    frappe: false,      // a text is being typed
    termine: false,
    statut: null,
    menuAffiche: null,  // ms from opening the page to the first prompt (the story menu)
    textes: [],         // the last typed texts: start, end (ms), bytes
  };
  window.orlimarEtat = etat;

  // --- Speed
  const reduireAnimations = window.matchMedia && window.matchMedia("(prefers-reduced-motion: reduce)").matches;
  vitesse.value = stockage.getItem(cleVitesse) || (reduireAnimations ? "instantanee" : "normale");
  if (!(vitesse.value in facteurs)) vitesse.value = "normale";
  vitesse.addEventListener("change", () => {
    stockage.setItem(cleVitesse, vitesse.value);
    if (facteurs[vitesse.value] === 0) finirLeTexte();
    saisie.focus();
  });

  // --- The screen
  const decodeur = new TextDecoder("utf-8");
  let couleur = null;    // class of the colour in force
  let echappement = null; // an escape begun and not finished
  let ligne = null;      // the line being written
  let morceau = null;    // its last run of text, in the colour in force
  let aAnnoncer = "";    // text written since the last announcement
  let texteEnCours = null;

  function nouvelleLigne() {
    ligne = document.createElement("span");
    ligne.className = "ligne";
    ecran.appendChild(ligne);
    morceau = null;
  }

  // A finished line drawn with block letters joins the banner block before it
  // (and so do the blank lines that follow one, so that both halves of the
  // title banner make one block).
  function rangerLaLigne() {
    const texte = ligne.textContent;
    const avant = ligne.previousSibling;
    const suitUneBanniere = avant && avant.classList.contains("banniere");
    if (glypheDeBanniere.test(texte) || (suitUneBanniere && texte.trim() === "")) {
      if (suitUneBanniere) {
        avant.appendChild(ligne);
      } else {
        const banniere = document.createElement("span");
        banniere.className = "banniere";
        ecran.insertBefore(banniere, ligne);
        banniere.appendChild(ligne);
      }
    }
    ligne = null;
    morceau = null;
  }

  function ecrireTexte(texte) {
    let debut = 0;
    while (debut < texte.length) {
      if (!ligne) nouvelleLigne();
      const retour = texte.indexOf("\n", debut);
      const finDuMorceau = retour === -1 ? texte.length : retour + 1;
      if (!morceau) {
        morceau = document.createElement("span");
        if (couleur) morceau.className = couleur;
        ligne.appendChild(morceau);
      }
      // Bytes typed one by one join the run's text instead of making a node each.
      const dernier = morceau.lastChild;
      if (dernier) dernier.appendData(texte.slice(debut, finDuMorceau));
      else morceau.appendChild(document.createTextNode(texte.slice(debut, finDuMorceau)));
      if (retour !== -1) rangerLaLigne();
      debut = finDuMorceau;
    }
    aAnnoncer += texte;
  }

  function changerDeCouleur(code) {
    couleur = code === "" || code === "0" ? null : classesDesCouleurs[code] || couleur;
    morceau = null;
  }

  // The game's bytes: text and colour codes ("\x1b[" digits "m"); the other
  // control sequences of a terminal (line wrap off and on) mean nothing here.
  function afficher(octets) {
    const texte = decodeur.decode(octets, { stream: true });
    let simple = "";
    for (const signe of texte) {
      if (echappement !== null) {
        echappement += signe;
        if (/^\x1b\[[0-9;?]*$/.test(echappement)) continue;
        if (/^\x1b\[[0-9;]*m$/.test(echappement)) {
          if (simple) ecrireTexte(simple);
          simple = "";
          changerDeCouleur(echappement.slice(2, -1));
        } else if (!/^\x1b\[[0-9;?]*[@-~]$/.test(echappement)) {
          simple += echappement;
        }
        echappement = null;
      } else if (signe === "\x1b") {
        echappement = signe;
      } else {
        simple += signe;
      }
    }
    if (simple) ecrireTexte(simple);
    if (texteEnCours) texteEnCours.octets += octets.length;
  }

  function annoncer() {
    const texte = aAnnoncer.trim();
    aAnnoncer = "";
    if (!texte) return;
    const paragraphe = document.createElement("p");
    paragraphe.textContent = texte;
    annonce.appendChild(paragraphe);
    while (annonce.childNodes.length > annoncesGardees) annonce.removeChild(annonce.firstChild);
  }

  // --- Typing: the engine's waits, which Enter, a click or a tap cut short.
  let resteDemande = false;
  let reveil = null;

  function finirLeTexte() {
    if (!etat.frappe) return;
    resteDemande = true;
    if (reveil) reveil(1);
  }

  function attendre(ms) {
    if (resteDemande) return Promise.resolve(1);
    return new Promise((fini) => {
      const minuterie = setTimeout(() => {
        reveil = null;
        fini(0);
      }, ms);
      reveil = (valeur) => {
        clearTimeout(minuterie);
        reveil = null;
        fini(valeur);
      };
    });
  }

  function frappe(enCours) {
    etat.frappe = enCours;
    resteDemande = false;
    if (enCours) {
      texteEnCours = { debut: performance.now(), fin: null, octets: 0 };
    } else if (texteEnCours) {
      texteEnCours.fin = performance.now();
      etat.textes.push(texteEnCours);
      if (etat.textes.length > annoncesGardees) etat.textes.shift();
      texteEnCours = null;
      annoncer();
    }
  }

  // --- Answers: the lines sent, in order; lines sent ahead wait their turn.
  const encodeur = new TextEncoder();
  let reponses = new Uint8Array(0);
  let lecteur = null;

  function prendre(capacite) {
    const pris = reponses.slice(0, capacite);
    reponses = reponses.slice(pris.length);
    return pris;
  }

  function lire(capacite) {
    annoncer();
    etat.lectures += 1;
    if (etat.menuAffiche === null) etat.menuAffiche = performance.now();
    if (reponses.length > 0) return Promise.resolve(prendre(capacite));
    etat.attend = true;
    return new Promise((recu) => {
      lecteur = () => {
        lecteur = null;
        etat.attend = false;
        recu(prendre(capacite));
      };
    });
  }

  function envoyer(texte) {
    if (!ligne) nouvelleLigne();
    const echo = document.createElement("span");
    echo.className = "saisie";
    echo.textContent = texte + "\n";
    ligne.appendChild(echo);
    ligne = null;
    morceau = null;
    const octets = encodeur.encode(texte + "\n");
    const tout = new Uint8Array(reponses.length + octets.length);
    tout.set(reponses);
    tout.set(octets, reponses.length);
    reponses = tout;
    if (lecteur) lecteur();
  }

  formulaire.addEventListener("submit", (evenement) => {
    evenement.preventDefault();
    if (etat.termine) return;
    const texte = saisie.value;
    saisie.value = "";
    // Enter on an empty field while a text is typed only finishes it.
    if (etat.frappe && texte === "") {
      finirLeTexte();
      return;
    }
    finirLeTexte();
    envoyer(texte);
    saisie.focus();
  });

  ecran.addEventListener("pointerdown", () => finirLeTexte());
  ecran.addEventListener("click", () => {
    if (!window.getSelection || String(window.getSelection()) === "") saisie.focus();
  });

  // --- Saves: the save file's text, per save path, in the browser's storage.
  let sauvegardeEnCours = null;

  function lireSauvegarde(chemin) {
    sauvegardeEnCours = chemin;
    recommencer.disabled = false;
    const texte = stockage.getItem(prefixeSauvegarde + chemin);
    return texte === null ? null : encodeur.encode(texte);
  }

  function garderSauvegarde(chemin, octets) {
    try {
      stockage.setItem(prefixeSauvegarde + chemin, new TextDecoder().decode(octets));
      return true;
    } catch (refus) {
      return false;
    }
  }

  recommencer.addEventListener("click", () => {
    if (sauvegardeEnCours === null) return;
    if (!window.confirm("Recommencer l'histoire ? Sa sauvegarde sera effacée et la partie reprendra au début.")) return;
    stockage.removeItem(prefixeSauvegarde + sauvegardeEnCours);
    location.reload();
  });

  document.getElementById("rejouer").addEventListener("click", () => location.reload());

  // --- The stories published in the page.
  function histoires() {
    const element = document.getElementById("orlimar-histoires");
    return element ? JSON.parse(element.textContent).histoires : [];
  }

  function depuisBase64(texte) {
    const binaire = atob(texte);
    const octets = new Uint8Array(binaire.length);
    for (let i = 0; i < binaire.length; ++i) octets[i] = binaire.charCodeAt(i);
    return octets;
  }

  const publiees = histoires();
  const page = {
    stories: publiees,
    bytes: (quoi, index) => depuisBase64(publiees[index][quoi === "name" ? "nom" : "texte"]),
    write: afficher,
    typing: frappe,
    speedFactor: () => facteurs[vitesse.value],
    wait: attendre,
    read: lire,
    readSave: lireSauvegarde,
    writeSave: garderSauvegarde,
    gameOver: (statut) => {
      annoncer();
      etat.termine = true;
      etat.statut = statut;
      saisie.disabled = true;
      fin.hidden = false;
    },
  };

  saisie.focus();
  etat.scriptPret = performance.now();
  OrlimarEngine({
    orlimarPage: page,
    print: () => {},
    printErr: (texte) => console.error(texte),
    onRuntimeInitialized: () => { etat.moteurPret = performance.now(); },
  });
})();
