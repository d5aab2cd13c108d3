VERSION 5.00
Begin VB.Form frmMain 
   Caption         =   "‹‹—^ŒvŽZ"
   ClientHeight    =   3090
   ClientLeft      =   60
   ClientTop       =   450
   ClientWidth     =   4680
   LinkTopic       =   "Form1"
   ScaleHeight     =   3090
   ScaleWidth      =   4680
   StartUpPosition =   3  'Windows ‚ÌŠù’è’l
   Begin VB.CommandButton cmdCalc 
      Caption         =   "End Sub"
      Height          =   495
      Left            =   1560
      TabIndex        =   0
      Top             =   1200
      Width           =   1215
   End
End
Attribute VB_Name = "frmMain"
Attribute VB_GlobalNameSpace = False
Attribute VB_Creatable = False
Attribute VB_PredeclaredId = True
Attribute VB_Exposed = False
Option Explicit

Private Sub cmdCalc_Click()
    MsgBox Format$(CalcPay(1000, 160), "#,##0")
End Sub

Private Sub Form_Load()
    Me.Caption = "‹‹—^ŒvŽZ - " & App.Title
End Sub
